#include "localeencoding.h"

#include <QList>
#include <QVector>
#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstring>
#include <functional>
#include <iconv.h>
#include <langinfo.h>

namespace {

iconv_t toLocale = iconv_t(-1);
iconv_t fromLocale = iconv_t(-1);

// The locale's name as the C library takes it for character types.
QByteArray localeName()
{
    for (const char *variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const QByteArray value = qgetenv(variable);
        if (!value.isEmpty())
            return value;
    }
    return {};
}

// The encoding's name: the installed locale's, else the one in the locale's name; UTF-8 for C,
// POSIX or none, whose terminals are UTF-8 nowadays; empty when nothing gives one.
QByteArray encodingName()
{
    const char *ctype = std::setlocale(LC_CTYPE, "");
    if (ctype && std::strcmp(ctype, "C") != 0 && std::strcmp(ctype, "POSIX") != 0)
        return nl_langinfo(CODESET);
    const QByteArray name = localeName();
    if (name.isEmpty() || name == "C" || name == "POSIX")
        return "UTF-8";
    const int dot = name.indexOf('.');
    const QByteArray encoding = dot < 0 ? QByteArray() : name.mid(dot + 1).split('@').first();
    // After a slash iconv takes TRANSLIT or IGNORE, which would write what the encoding lacks
    // as a look-alike or a question mark, or drop it, where the check writes an escape.
    return encoding.contains('/') ? QByteArray() : encoding;
}

bool openConverters(const char *encoding)
{
    toLocale = iconv_open(encoding, "UTF-8");
    fromLocale = iconv_open("UTF-8", encoding);
    if (toLocale != iconv_t(-1) && fromLocale != iconv_t(-1))
        return true;
    if (toLocale != iconv_t(-1))
        iconv_close(toLocale);
    if (fromLocale != iconv_t(-1))
        iconv_close(fromLocale);
    toLocale = fromLocale = iconv_t(-1);
    return false;
}

// Runs the converter over the input, giving what it converts to `converted`; at each
// sequence it cannot convert, `unconvertible` stands in for it and says how many bytes it took.
void convert(iconv_t converter, const QByteArray &input, const std::function<void(const char *, int)> &converted,
             const std::function<int(const char *)> &unconvertible)
{
    char *in = const_cast<char *>(input.constData());
    size_t inLeft = size_t(input.size());
    char buffer[1024];
    while (inLeft > 0) {
        char *out = buffer;
        size_t outLeft = sizeof buffer;
        const size_t done = iconv(converter, &in, &inLeft, &out, &outLeft);
        const int error = errno;
        converted(buffer, int(out - buffer));
        if (done == size_t(-1) && error != E2BIG && inLeft > 0) {
            const int taken = unconvertible(in);
            in += taken;
            inLeft -= size_t(taken);
        }
    }
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
}

// The length of the UTF-8 sequence this byte leads, in text that is valid UTF-8.
int utf8SequenceLength(uchar lead)
{
    return lead < 0x80 ? 1 : lead < 0xe0 ? 2 : lead < 0xf0 ? 3 : 4;
}

QByteArray escaped(uint codePoint)
{
    return codePoint > 0xffff ? "\\U" + QByteArray::number(codePoint, 16).rightJustified(8, '0')
                              : "\\u" + QByteArray::number(codePoint, 16).rightJustified(4, '0');
}

// Whether the encoding writes ASCII as ASCII, and Chinese without a byte a terminal acts on: a
// wide (UTF-16) or stateful (UTF-7, ISO-2022) one would garble the escapes or hide a line.
bool writesPlainText()
{
    QByteArray ascii;
    for (char c = 0x20; c < 0x7f; ++c)
        ascii += c;
    ascii += '\n';
    const QByteArray chinese = inLocaleEncoding(QString::fromUtf8("中文"));
    const bool plain = std::none_of(chinese.begin(), chinese.end(), [](char c) { return uchar(c) < 0x20 || c == 0x7f; });
    return plain && inLocaleEncoding(QString::fromLatin1(ascii)) == ascii;
}

// Whether the encoding holds the simplified characters of the check's Chinese messages, which
// Big5 or Latin-1 would show as escapes.
bool writesSimplifiedChinese()
{
    return !inLocaleEncoding(QString::fromUtf8("驱动库读卡器结果")).contains('\\');
}

}

bool chooseLocaleEncoding()
{
    const QByteArray name = encodingName();
    if (!name.isEmpty() && openConverters(name.constData())) {
        if (writesPlainText())
            return writesSimplifiedChinese();
        iconv_close(toLocale);
        iconv_close(fromLocale);
    }
    openConverters("ASCII");
    return false;
}

QByteArray inLocaleEncoding(const QString &text)
{
    QByteArray out;
    convert(toLocale, text.toUtf8(), [&out](const char *bytes, int count) { out.append(bytes, count); },
            [&out](const char *at) {
                const int length = utf8SequenceLength(uchar(*at));
                out += escaped(QString::fromUtf8(at, length).toUcs4().value(0));
                return length;
            });
    return out;
}

QString fromLocaleEncoding(const QByteArray &bytes)
{
    QString text;
    convert(fromLocale, bytes, [&text](const char *utf8, int count) { text += QString::fromUtf8(utf8, count); },
            [&text](const char *at) {
                text += QChar(0xdc00 + uchar(*at));
                return 1;
            });
    return text;
}
