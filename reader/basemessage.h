#pragma once

// Decoding of the base message record that ICC_ReadBaseMsgData fills, and of the
// other texts the driver library writes into fixed buffers.

#include "kestreldriver.h"

#include <QByteArray>
#include <QString>

// Where each part of the record starts, and the bytes it may take up to the next part.
struct RecordField {
    int offset;
    int room;
};

namespace RecordLayout {
constexpr RecordField Name{4, 32};
constexpr RecordField Sex{36, 8};
constexpr RecordField Nation{44, 20};
constexpr RecordField Birth{64, 12};
constexpr RecordField Address{76, 72};
constexpr RecordField IdCode{148, 20};
constexpr RecordField Agency{168, 32};
constexpr RecordField ValidFrom{200, 12};
constexpr RecordField ValidTo{212, 1120};
constexpr RecordField Fingerprint{1332, 1024};
}

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

// A character of a text: its code point and the UTF-16 units it takes, two for a surrogate pair.
struct CodePoint {
    uint value;
    int length;
};

// The character that starts at `at`; an unpaired surrogate is a character of its own.
CodePoint codePointAt(const QString &text, int at);

// Whether a code point would hide, or draw in another order, the text around it: format
// characters, which draw nothing (zero-width spaces and joiners, the bidirectional marks,
// embeddings, overrides and isolates, tags), and right-to-left letters and digits. No card's
// text holds one, so where one stands a value could only be shown disguised.
bool disguisesText(uint codePoint);

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
