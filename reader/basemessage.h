#pragma once

// Decoding of the base message record that ICC_ReadBaseMsgData fills, and of the
// other texts the driver library writes into fixed buffers.

#include "kestreldriver.h"

#include <QByteArray>
#include <QString>

using BaseMessageRecord = unsigned char[BaseMessageRecordSize];

struct BirthDate {
    QString year;
    QString month;
    QString day;
};

// What the window shows of one resident ID card.
struct HolderFields {
    QString name;
    QString sex;
    QString nation;
    QString idCode;
    BirthDate birth;
    QString address;
    QString agency;
    QString validity;
    QByteArray fingerprint; // raw bytes, zero bytes included
};

// The bytes of a buffer the library should have NUL-terminated, up to the first NUL or the
// end of its room, whichever comes first, so nothing past the room is read.
QByteArray bytesInRoom(const char *bytes, int room);

// Those bytes decoded as UTF-8; invalid UTF-8 becomes replacement characters.
QString textInRoom(const char *bytes, int room);

// A text field's bytes in the record, up to its NUL or the end of its room.
QByteArray fieldBytes(const BaseMessageRecord &record, RecordField field);

// "YYYYMMDD" into year, month and day; short text gives empty or short pieces, and
// anything after the eighth character is dropped.
BirthDate splitBirthDate(const QString &date);

// The validity period as "start-end", neither date reformatted.
QString joinValidity(const QString &from, const QString &to);

// Fingerprint bytes as lower-case hexadecimal digits, two per byte, no separators.
QString fingerprintText(const QByteArray &fingerprint);

HolderFields decodeBaseMessage(const BaseMessageRecord &record);
