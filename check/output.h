#pragma once

// How the check writes: every line through say(), with what could disguise it escaped, and
// the pieces of text that many lines share.

#include <QString>
#include <QStringList>

// Writes one line to standard output in the locale's encoding (localeencoding.h), with each
// control character (C0, DEL, C1), each character that would hide or reorder the line (format
// characters such as zero-width spaces and bidirectional overrides, right-to-left letters and
// digits), the line and paragraph separators and the backslash itself written as a visible
// escape (\x1b, \u202e, \u2028, \\), and each byte that was no text as \xHH, so that what the
// driver or a card holds can neither move the cursor, retitle the terminal, hide, reorder nor
// forge a line.
void say(const QString &line);

// The same, to standard error.
void sayOnError(const QString &line);

// A star for each character but `keepStart` leading and `keepEnd` trailing ones, a surrogate
// pair being one character; separators stay.
QString masked(const QString &text, int keepStart, int keepEnd);

// The items joined with the translated list separator.
QString listed(const QStringList &items);

// A size as a person reads it: bytes below 1 KiB, else KiB or MiB with one decimal, 1,015.6 KiB.
QString sizeText(qint64 bytes);

// A duration as a person reads it: milliseconds below a second, seconds with one decimal
// from there.
QString durationText(qint64 nanoseconds);

// "errno 13: Permission denied", in the C library's words.
QString errnoText(int error);

// "signal 11 (SIGSEGV)".
QString signalText(int signal);
