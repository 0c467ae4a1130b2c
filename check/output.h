#pragma once

// How the check writes: every line through say(), with what could disguise it escaped, and
// the pieces of text that many lines share.

#include <QString>
#include <QStringList>

// Writes one line to standard output, always UTF-8, whatever locale the terminal's C library
// knows, with each control character (C0, DEL, C1) and each character that would hide or
// reorder the line (format characters such as zero-width spaces and bidirectional overrides,
// right-to-left letters and digits) written as a visible escape, \x1b or \u202e, so that what
// the driver or a card holds can neither move the cursor, retitle the terminal, hide, nor
// reorder a line.
void say(const QString &line);

// A star for each character but `keepStart` leading and `keepEnd` trailing ones, a surrogate
// pair being one character; separators stay.
QString masked(const QString &text, int keepStart, int keepEnd);

// The items joined with the translated list separator.
QString listed(const QStringList &items);

// A size as a person reads it: bytes below 1 KiB, else KiB or MiB to three figures.
QString sizeText(qint64 bytes);

// A duration as a person reads it: milliseconds below a second, seconds with one decimal
// from there.
QString durationText(qint64 nanoseconds);

// "errno 13: Permission denied", in the C library's words.
QString errnoText(int error);

// "signal 11 (SIGSEGV)".
QString signalText(int signal);
