#include "childprotocol.h"

#include <QtEndian>
#include <cerrno>
#include <sys/random.h>

namespace {

template<typename Number>
QByteArray littleEndian(Number value)
{
    char bytes[sizeof(Number)];
    qToLittleEndian(value, reinterpret_cast<uchar *>(bytes));
    return QByteArray(bytes, int(sizeof bytes));
}

bool knownType(quint8 type)
{
    return type >= quint8(Message::Loading) && type <= quint8(Message::Finished);
}

}

const char *sonameOf(DriverLibrary library)
{
    return library == DriverLibrary::Card ? "libKestrelCardDriver.so.1" : "libKestrelSE32.so.1";
}

Payload &Payload::integer(qint64 value)
{
    m_fields += littleEndian(value);
    return *this;
}

Payload &Payload::bytes(const QByteArray &value)
{
    m_fields += littleEndian(quint32(value.size())) + value;
    return *this;
}

QByteArray Payload::frame(Message type, Token token) const
{
    return char(type) + littleEndian(token) + littleEndian(quint32(m_fields.size())) + m_fields;
}

const char *PayloadReader::take(int count)
{
    if (!m_valid || count < 0 || m_payload.size() - m_at < count) {
        m_valid = false;
        return nullptr;
    }
    const char *at = m_payload.constData() + m_at;
    m_at += count;
    return at;
}

qint64 PayloadReader::integer(qint64 lowest, qint64 highest)
{
    const char *at = take(8);
    const qint64 value = at ? qFromLittleEndian<qint64>(reinterpret_cast<const uchar *>(at)) : 0;
    m_valid = m_valid && value >= lowest && value <= highest;
    return m_valid ? value : 0;
}

QByteArray PayloadReader::bytes(int longest)
{
    const char *at = take(4);
    const quint32 length = at ? qFromLittleEndian<quint32>(reinterpret_cast<const uchar *>(at)) : 0;
    m_valid = m_valid && length <= quint32(longest);
    const char *value = take(int(length));
    return value ? QByteArray(value, int(length)) : QByteArray();
}

bool FrameReader::feed(const char *bytes, int count)
{
    // Frames are taken as they complete, so a valid stream never holds more than one and a read.
    m_valid = m_valid && count <= MaxFrameBytes && m_buffer.size() <= MaxFrameBytes;
    if (m_valid)
        m_buffer.append(bytes, count);
    return m_valid;
}

bool FrameReader::next(Frame &frame)
{
    if (!m_valid || m_buffer.size() < HeaderBytes)
        return false;
    const auto header = reinterpret_cast<const uchar *>(m_buffer.constData());
    const quint32 length = qFromLittleEndian<quint32>(header + 1 + TokenBytes);
    if (length > quint32(MaxFrameBytes - HeaderBytes) || !knownType(quint8(m_buffer[0])))
        return m_valid = false;
    if (quint32(m_buffer.size() - HeaderBytes) < length)
        return false;
    frame = {Message(quint8(m_buffer[0])), qFromLittleEndian<Token>(header + 1), m_buffer.mid(HeaderBytes, int(length))};
    m_buffer.remove(0, HeaderBytes + int(length));
    m_valid = ++m_frames <= MaxFrames;
    return m_valid;
}

Token freshToken()
{
    Token token = 0;
    while (getrandom(&token, sizeof token, 0) < 0 && errno == EINTR) {
    }
    return token;
}
