#pragma once

// Text that comes from a card, the driver library or a capture, made safe to show: one set of
// rules for which characters would break, hide or reorder it, and how each place that shows
// such text writes them instead: the window's labels, the check's terminal lines and the
// simulator's messages about a replay folder's files.

#include <QByteArray>
#include <QString>

// A character of a text: its code point and the UTF-16 units it takes, two for a surrogate pair.
struct CodePoint {
    uint value;
    int length;
};

// The character that starts at `at`; an unpaired surrogate is a character of its own.
CodePoint codePointAt(const QString &text, int at);

enum class CharacterKind {
    // Shown as it is.
    Plain,
    // A C0 control or DEL: breaks the line, moves a terminal's cursor or draws nothing.
    Control,
    // What would hide or reorder the text around it, or break its line unseen: C1 controls,
    // the Unicode line and paragraph separators, format characters (zero-width spaces and
    // joiners, the bidirectional marks, embeddings, overrides and isolates, tags),
    // right-to-left letters and digits, and unpaired surrogates, which are no text. No card's
    // text holds one, so where one stands a value could only be shown disguised.
    Disguising,
};

CharacterKind characterKind(uint codePoint);

// The text as a card label shows it: a control becomes its visible symbol (U+2400 onwards,
// U+2421 for DEL), a disguising character U+FFFD, one for each character. Everything else stays.
QString visibleCardText(const QString &text);

// The text as a terminal line may hold it: every character that is not plain, and the
// backslash that starts an escape, written as one: \x1b below U+0080, \u202e, \U000e0041, \\.
// U+DC80 to U+DCFF stand for bytes that were no text (as the check decodes what the locale's
// encoding does not cover) and are written as those bytes, \x80 to \xff, so a C1 control,
// \u0085, reads unlike the byte 0x85.
QString terminalText(const QString &text);

// A name in bytes of unknown encoding, such as a file name, as a terminal line may hold it:
// printable ASCII as it is, the backslash as \\, every other byte as \xHH.
QByteArray terminalName(const QByteArray &bytes);
