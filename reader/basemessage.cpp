#include "basemessage.h"

#include <cstring>

namespace {

QString fieldText(const BaseMessageRecord &record, RecordField field)
{
    return QString::fromUtf8(fieldBytes(record, field));
}

}

QByteArray fieldBytes(const BaseMessageRecord &record, RecordField field)
{
    return bytesInRoom(reinterpret_cast<const char *>(record + field.offset), field.room);
}

QByteArray bytesInRoom(const char *bytes, int room)
{
    const auto *end = static_cast<const char *>(std::memchr(bytes, '\0', size_t(room)));
    return QByteArray(bytes, end ? int(end - bytes) : room);
}

QString textInRoom(const char *bytes, int room)
{
    return QString::fromUtf8(bytesInRoom(bytes, room));
}

BirthDate splitBirthDate(const QString &date)
{
    return {date.mid(0, 4), date.mid(4, 2), date.mid(6, 2)};
}

QString joinValidity(const QString &from, const QString &to)
{
    QString validity;
    validity.append(from).append(QLatin1Char('-')).append(to);
    return validity;
}

QString fingerprintText(const QByteArray &fingerprint)
{
    return QString::fromLatin1(fingerprint.toHex());
}

HolderFields decodeBaseMessage(const BaseMessageRecord &record)
{
    using namespace RecordLayout;
    HolderFields holder;
    holder.name = fieldText(record, Name);
    holder.sex = fieldText(record, Sex);
    holder.nation = fieldText(record, Nation);
    holder.idCode = fieldText(record, IdCode);
    holder.birth = splitBirthDate(fieldText(record, Birth));
    holder.address = fieldText(record, Address);
    holder.agency = fieldText(record, Agency);
    holder.validity = joinValidity(fieldText(record, ValidFrom), fieldText(record, ValidTo));
    holder.fingerprint = QByteArray(reinterpret_cast<const char *>(record + Fingerprint.offset), Fingerprint.room);
    return holder;
}
