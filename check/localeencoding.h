#pragma once

// The encoding the check writes in and reads the C library's texts in: the locale's, so that
// a GB18030 or GBK terminal shows its Chinese as written.

#include <QByteArray>
#include <QString>

// Takes the encoding of the C library's locale when it is installed, else the one the
// locale's name gives (zh_CN.GB18030 works without the locale generated); C, POSIX or no
// locale keeps UTF-8. One that is not ASCII-compatible and stateless, or that iconv does not
// know, or a name that gives none, cannot be served: the check then writes ASCII. True when
// the encoding holds the simplified Chinese of the check's messages; else it writes English.
bool chooseLocaleEncoding();

// The text in that encoding; a character it lacks as \uXXXX or \UXXXXXXXX.
QByteArray inLocaleEncoding(const QString &text);

// Bytes in that encoding as text; a byte that is no text in it as U+DC80 to U+DCFF, which
// say() prints as \xHH, so no byte of a name or message is lost or taken for another.
QString fromLocaleEncoding(const QByteArray &bytes);

// Whether the character stands for such a byte.
inline bool isEscapedByte(uint c) { return c >= 0xdc80 && c <= 0xdcff; }
