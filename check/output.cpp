#include "output.h"

#include "basemessage.h"
#include "signalname.h"
#include "text.h"

#include <csignal>
#include <cstdio>
#include <cstring>

namespace {

bool isControl(uint c)
{
    return c < 0x20 || (c >= 0x7f && c <= 0x9f) || disguisesText(c);
}

QString escapedControls(const QString &text)
{
    QString out;
    for (int at = 0; at < text.size();) {
        const CodePoint c = codePointAt(text, at);
        if (!isControl(c.value))
            out.append(text.constData() + at, c.length);
        else if (c.value < 0x100)
            out += QStringLiteral("\\x%1").arg(c.value, 2, 16, QLatin1Char('0'));
        else
            out += QStringLiteral("\\u%1").arg(c.value, 4, 16, QLatin1Char('0'));
        at += c.length;
    }
    return out;
}

int characterCount(const QString &text)
{
    int count = 0;
    for (int at = 0; at < text.size(); at += codePointAt(text, at).length)
        ++count;
    return count;
}

}

void say(const QString &line)
{
    const QByteArray bytes = (escapedControls(line) + '\n').toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

QString masked(const QString &text, int keepStart, int keepEnd)
{
    const int count = characterCount(text);
    QString out;
    for (int at = 0, index = 0; at < text.size(); ++index) {
        const CodePoint c = codePointAt(text, at);
        const bool separator = c.value < 0x80 && QStringLiteral(" |,;:-/.").contains(QChar(c.value));
        if (separator || index < keepStart || index >= count - keepEnd)
            out.append(text.constData() + at, c.length);
        else
            out += QLatin1Char('*');
        at += c.length;
    }
    return out;
}

QString listed(const QStringList &items)
{
    return items.join(Check::tr(", ", "between the items of a list"));
}

QString sizeText(qint64 bytes)
{
    if (bytes < 1024)
        return Check::tr("%1 bytes").arg(bytes);
    const bool mebibytes = bytes >= 1024 * 1024;
    return QStringLiteral("%1 %2").arg(QString::number(bytes / (mebibytes ? 1048576.0 : 1024.0), 'g', 3),
                                       mebibytes ? QStringLiteral("MiB") : QStringLiteral("KiB"));
}

QString durationText(qint64 nanoseconds)
{
    if (nanoseconds < 1000000000)
        return Check::tr("%1 ms").arg(QString::number(nanoseconds / 1e6, 'f', nanoseconds < 10000000 ? 1 : 0));
    return Check::tr("%1 s").arg(QString::number(nanoseconds / 1e9, 'f', 1));
}

QString errnoText(int error)
{
    return Check::tr("errno %1: %2").arg(error).arg(QString::fromLocal8Bit(std::strerror(error)));
}

QString signalText(int signal)
{
    const char *name = signalName(signal);
    return name ? Check::tr("signal %1 (%2)").arg(signal).arg(QLatin1String(name)) : Check::tr("signal %1").arg(signal);
}
