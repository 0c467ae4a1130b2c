#include "cardtext.h"

namespace {

constexpr ushort ControlPictures = 0x2400;
constexpr ushort DeletePicture = 0x2421;
constexpr uint FirstByteNotText = 0xdc80;
constexpr uint LastByteNotText = 0xdcff;

bool isControl(uint c)
{
    return c < 0x20 || c == 0x7f;
}

// Format characters draw nothing; right-to-left letters and digits reorder what stands around them.
bool hidesOrReorders(uint c)
{
    if (QChar::category(c) == QChar::Other_Format)
        return true;
    const QChar::Direction direction = QChar::direction(c);
    return direction == QChar::DirR || direction == QChar::DirAL || direction == QChar::DirAN;
}

bool isDisguising(uint c)
{
    return (c >= 0x80 && c <= 0x9f) || c == QChar::LineSeparator || c == QChar::ParagraphSeparator
        || QChar::isSurrogate(c) || hidesOrReorders(c);
}

QString escape(uint c)
{
    if (c == '\\')
        return QStringLiteral("\\\\");
    if (c < 0x80 || (c >= FirstByteNotText && c <= LastByteNotText))
        return QStringLiteral("\\x%1").arg(c & 0xff, 2, 16, QLatin1Char('0'));
    if (c > 0xffff)
        return QStringLiteral("\\U%1").arg(c, 8, 16, QLatin1Char('0'));
    return QStringLiteral("\\u%1").arg(c, 4, 16, QLatin1Char('0'));
}

}

CodePoint codePointAt(const QString &text, int at)
{
    const QChar c = text[at];
    if (c.isHighSurrogate() && at + 1 < text.size() && text[at + 1].isLowSurrogate())
        return {QChar::surrogateToUcs4(c, text[at + 1]), 2};
    return {c.unicode(), 1};
}

CharacterKind characterKind(uint codePoint)
{
    if (isControl(codePoint))
        return CharacterKind::Control;
    return isDisguising(codePoint) ? CharacterKind::Disguising : CharacterKind::Plain;
}

QString visibleCardText(const QString &text)
{
    QString shown;
    for (int at = 0; at < text.size();) {
        const CodePoint c = codePointAt(text, at);
        switch (characterKind(c.value)) {
        case CharacterKind::Control:
            shown += QChar(c.value == 0x7f ? DeletePicture : ushort(ControlPictures + c.value));
            break;
        case CharacterKind::Disguising:
            shown += QChar(QChar::ReplacementCharacter);
            break;
        case CharacterKind::Plain:
            shown.append(text.constData() + at, c.length);
            break;
        }
        at += c.length;
    }
    return shown;
}

QString terminalText(const QString &text)
{
    QString out;
    for (int at = 0; at < text.size();) {
        const CodePoint c = codePointAt(text, at);
        if (c.value == '\\' || characterKind(c.value) != CharacterKind::Plain)
            out += escape(c.value);
        else
            out.append(text.constData() + at, c.length);
        at += c.length;
    }
    return out;
}

// Every byte above ASCII is taken for one that is no text, so it is written as the byte it is.
QByteArray terminalName(const QByteArray &bytes)
{
    QString text;
    for (const char byte : bytes) {
        const uchar c = uchar(byte);
        text += QChar(ushort(c < 0x80 ? c : FirstByteNotText - 0x80 + c));
    }
    return terminalText(text).toLatin1();
}
