#include "helptext.h"

#include <QCoreApplication>
#include <algorithm>

namespace {

// The parser's own words, said here as the parser says them, so that lupdate keeps their
// translations with the tool's: the first three head the help, the rest are its errors.
const char *const ParserTexts[] = {
    QT_TRANSLATE_NOOP("QCommandLineParser", "Usage: %1"),
    QT_TRANSLATE_NOOP("QCommandLineParser", "[options]"),
    QT_TRANSLATE_NOOP("QCommandLineParser", "Options:"),
    QT_TRANSLATE_NOOP("QCommandLineParser", "Missing value after '%1'."),
    QT_TRANSLATE_NOOP("QCommandLineParser", "Unexpected value after '%1'."),
};

QString parserText(int index)
{
    return QCoreApplication::translate("QCommandLineParser", ParserTexts[index]);
}

int cellsOf(const QString &text)
{
    int total = 0;
    for (const QChar c : text)
        total += cells(c);
    return total;
}

bool mayBreakBetween(QChar before, QChar after)
{
    static const QString noLineStart = QStringLiteral("，。、；：？！）」』”’》,.;:?!)");
    static const QString noLineEnd = QStringLiteral("（「『“‘《(");
    if (before == QLatin1Char(' '))
        return true;
    if (after == QLatin1Char(' ') || noLineStart.contains(after) || noLineEnd.contains(before))
        return false;
    return cells(before) == 2 || cells(after) == 2;
}

// "-h, --help" or "--timeout <SECONDS>".
QString optionNames(const QCommandLineOption &option)
{
    QStringList names;
    for (const QString &name : option.names())
        names << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
    const QString value = option.valueName().isEmpty() ? QString() : QStringLiteral(" <%1>").arg(option.valueName());
    return names.join(QStringLiteral(", ")) + value;
}

}

int cells(QChar c)
{
    const ushort u = c.unicode();
    const bool wide = QChar::script(u) == QChar::Script_Han || (u >= 0x3000 && u <= 0x303f) || (u >= 0xff01 && u <= 0xff60)
                      || (u >= 0xffe0 && u <= 0xffe6) || u == 0x201c || u == 0x201d;
    return wide ? 2 : 1;
}

QStringList wrapped(const QString &text, int width)
{
    QStringList lines;
    int start = 0;
    while (start < text.size()) {
        int used = 0;
        int lastBreak = -1;
        int at = start;
        for (; at < text.size(); ++at) {
            used += cells(text[at]);
            if (used > width)
                break;
            if (at + 1 < text.size() && mayBreakBetween(text[at], text[at + 1]))
                lastBreak = at + 1;
        }
        const int end = at >= text.size() ? text.size() : std::max(lastBreak > start ? lastBreak : at, start + 1);
        QString line = text.mid(start, end - start);
        while (line.endsWith(QLatin1Char(' ')))
            line.chop(1);
        lines << line;
        start = end;
        while (start < text.size() && text[start] == QLatin1Char(' '))
            ++start;
    }
    return lines;
}

QStringList helpLines(const QString &description, const QList<QCommandLineOption> &options)
{
    QStringList lines{parserText(0).arg(QCoreApplication::applicationName()) + QLatin1Char(' ') + parserText(1)};
    for (const QString &paragraph : description.split(QLatin1Char('\n')))
        lines += paragraph.isEmpty() ? QStringList{QString()} : wrapped(paragraph, HelpColumns);
    lines << QString() << parserText(2);
    int column = 0;
    for (const QCommandLineOption &option : options)
        column = std::max(column, 2 + cellsOf(optionNames(option)) + 2);
    for (const QCommandLineOption &option : options) {
        const QStringList description = wrapped(option.description(), HelpColumns - column);
        const QString names = QStringLiteral("  ") + optionNames(option);
        lines << names + QString(column - cellsOf(names), QLatin1Char(' ')) + description.value(0);
        for (const QString &more : description.mid(1))
            lines << QString(column, QLatin1Char(' ')) + more;
    }
    return lines;
}
