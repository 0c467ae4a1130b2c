#include "capture.h"

#include "citizennumber.h"
#include "photo.h"
#include "text.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The length of the UTF-8 sequence at the start, or 0 when it is not a valid one.
int utf8Length(const QByteArray &text, int at)
{
    const auto lead = uchar(text[at]);
    const int length = lead < 0x80 ? 1 : lead >= 0xc2 && lead < 0xe0 ? 2 : lead >= 0xe0 && lead < 0xf0 ? 3 : lead >= 0xf0 && lead < 0xf5 ? 4 : 0;
    if (length == 0 || at + length > text.size())
        return 0;
    for (int i = 1; i < length; ++i) {
        if ((uchar(text[at + i]) & 0xc0) != 0x80)
            return 0;
    }
    return length;
}

QByteArray fictionalCharacter(const QByteArray &original, int index)
{
    static const QString wide = QString::fromUtf8("甲乙丙丁戊己庚辛壬癸");
    const char c = original[0];
    switch (original.size()) {
    case 1:
        if (c >= '0' && c <= '9')
            return QByteArray(1, char('0' + (index + 1) % 10));
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))
            return QByteArray(1, char('A' + index % 26));
        return original;
    case 2: return QString(QChar(0xe9)).toUtf8();
    case 3: return QString(wide[index % wide.size()]).toUtf8();
    default: return QByteArray("\xf0\xa0\x80\x80", 4);
    }
}

void putField(BaseMessageRecord &record, RecordField field, const QByteArray &bytes)
{
    std::memcpy(record + field.offset, bytes.constData(), size_t(bytes.size()));
}

bool allDigits(const QByteArray &text, int count)
{
    return text.size() >= count && std::all_of(text.begin(), text.begin() + count, [](char c) { return c >= '0' && c <= '9'; });
}

}

QString prepareCaptureFolder(const QString &folder)
{
    const QByteArray path = QFile::encodeName(folder);
    if (mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        return Check::tr("cannot create the capture folder %1: %2").arg(folder, QString::fromLocal8Bit(strerror(errno)));
    struct stat info;
    if (lstat(path.constData(), &info) != 0 || !S_ISDIR(info.st_mode))
        return Check::tr("%1 is not a folder").arg(folder);
    if (!QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System).isEmpty())
        return Check::tr("the capture folder %1 is not empty; name a new or an empty folder").arg(folder);
    if (chmod(path.constData(), 0700) != 0)
        return Check::tr("cannot make the capture folder %1 private: %2").arg(folder, QString::fromLocal8Bit(strerror(errno)));
    return {};
}

bool writeCaptureFile(const QString &folder, const QString &name, const QByteArray &bytes)
{
    const QByteArray path = QFile::encodeName(QDir(folder).filePath(name));
    const int fd = open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    QFile file;
    file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle);
    return file.write(bytes) == bytes.size() && file.flush();
}

QString capturedPhotoName(const QByteArray &photo)
{
    const QByteArray format = photoFormat(photo);
    return QStringLiteral("photo.") + (format == "jpeg" ? QStringLiteral("jpg") : format.isEmpty() ? QStringLiteral("bin") : QString::fromLatin1(format));
}

QByteArray redactedText(const QByteArray &text)
{
    QByteArray redacted;
    int index = 0;
    for (int at = 0; at < text.size(); ++index) {
        const int length = utf8Length(text, at);
        redacted += length ? fictionalCharacter(text.mid(at, length), index) : QByteArray("?");
        at += length ? length : 1;
    }
    return redacted;
}

void redactRecord(BaseMessageRecord &record)
{
    using namespace RecordLayout;
    BaseMessageRecord redacted = {};
    for (RecordField field : {Sex, Nation, ValidFrom, ValidTo})
        putField(redacted, field, fieldBytes(record, field));
    for (RecordField field : {Name, Address, Agency})
        putField(redacted, field, redactedText(fieldBytes(record, field)));
    const QByteArray birth = fieldBytes(record, Birth);
    putField(redacted, Birth, allDigits(birth, 8) && birth.size() == 8 ? QByteArray("19491001") : redactedText(birth));
    const QByteArray idCode = fieldBytes(record, IdCode);
    const std::string fictional = "11010519491001001";
    putField(redacted, IdCode, allDigits(idCode, 17) && idCode.size() == 18
                 ? QByteArray::fromStdString(fictional + citizenCheckCharacter(fictional))
                 : redactedText(idCode));
    std::memcpy(record, redacted, sizeof redacted);
}

QByteArray placeholderPhoto(const QByteArray &photo)
{
    if (decodePhoto(photo).isNull())
        return {};
    QImage image(photoSize(photo), QImage::Format_RGB32);
    image.fill(QColor(0x80, 0x80, 0x80));
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    image.save(&out, photoFormat(photo).constData());
    return out.data();
}
