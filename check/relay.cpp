#include "relay.h"

#include <cstring>

void Relay::take(const char *bytes, int count)
{
    for (int at = 0; at < count;) {
        const char *newline = static_cast<const char *>(memchr(bytes + at, '\n', size_t(count - at)));
        const int end = newline ? int(newline - bytes) : count;
        append(bytes + at, end - at);
        if (newline)
            endLine();
        at = end + 1;
    }
}

void Relay::endPartialLine()
{
    if (!m_line.isEmpty() || m_cut > 0)
        endLine();
}

void Relay::finish()
{
    endPartialLine();
    if (m_leftOut > 0)
        m_events.libraryOutputLeftOut(m_stream, m_leftOut);
}

void Relay::append(const char *bytes, int count)
{
    const int room = qMax(0, MaxRelayedLineBytes - m_line.size());
    m_line.append(bytes, qMin(room, count));
    m_cut += qMax(0, count - room);
}

void Relay::endLine()
{
    if (m_lines < MaxRelayedLines && m_shown + m_line.size() <= MaxRelayedBytes) {
        m_events.libraryWrote(m_stream, m_cut > 0 ? m_line + "\xe2\x80\xa6" : m_line);
        m_shown += m_line.size();
        m_leftOut += m_cut;
        ++m_lines;
    } else {
        m_leftOut += m_line.size() + m_cut + 1;
    }
    m_line.clear();
    m_cut = 0;
}
