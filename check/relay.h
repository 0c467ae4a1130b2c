#pragma once

// What the library writes to its standard output and error, relayed to the check's events
// line by line, within bounds: the rest is counted.

#include "childevents.h"

// One of the library's output streams, relayed line by line within bounds.
class Relay
{
public:
    Relay(Stream stream, ChildEvents &events) : m_stream(stream), m_events(events) {}
    void take(const char *bytes, int count);
    // A line the library left unfinished is shown as it is, at the end of its step.
    void endPartialLine();
    void finish();

private:
    void append(const char *bytes, int count);
    void endLine();

    Stream m_stream;
    ChildEvents &m_events;
    QByteArray m_line;
    qint64 m_cut = 0;
    int m_lines = 0;
    qint64 m_shown = 0;
    qint64 m_leftOut = 0;
};
