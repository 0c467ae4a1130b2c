#include "capture.h"

#include "endingsignals.h"

#include "citizennumber.h"
#include "localeencoding.h"
#include "output.h"
#include "photo.h"
#include "text.h"

#include <QBuffer>
#include <QFile>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The C library's text for errno, read before anything else can change it.
QString errnoText()
{
    const int error = errno;
    return fromLocaleEncoding(strerror(error));
}

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

// Whether a GBK double-byte character starts here.
bool gbkPairAt(const QByteArray &text, int at)
{
    if (at + 1 >= text.size())
        return false;
    const auto lead = uchar(text[at]);
    const auto trail = uchar(text[at + 1]);
    return lead >= 0x81 && lead <= 0xfe && ((trail >= 0x40 && trail <= 0x7e) || (trail >= 0x80 && trail <= 0xfe));
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
    case 2: return QString(QChar(0xe9 + index % 2)).toUtf8();
    case 3: return QString(wide[index % wide.size()]).toUtf8();
    default: return QByteArray("\xf0\xa0\x80", 3) + char(0x80 + index % 2);
    }
}

// GBK characters (丽利例亮刘六龙流) whose bytes can neither start nor continue UTF-8, so
// each shows as two invalid bytes wherever it stands, as a GBK character in UTF-8 text does.
QByteArray fictionalGbkCharacter(const QByteArray &, int index)
{
    static const char pairs[] = "\xc0\xf6\xc0\xfb\xc0\xfd\xc1\xc1\xc1\xf5\xc1\xf9\xc1\xfa\xc1\xf7";
    return QByteArray(pairs + 2 * (index % 8), 2);
}

// The fictional character for the one at `at`, never that character itself: a holder's text
// that happens to run as the fictional sequence does would otherwise come through unchanged.
QByteArray differentCharacter(const QByteArray &text, int at, int length, int index,
                              QByteArray (*fictional)(const QByteArray &, int))
{
    const QByteArray original = text.mid(at, length);
    const QByteArray first = fictional(original, index);
    return first == original ? fictional(original, index + 1) : first;
}

void putField(BaseMessageRecord &record, RecordField field, const QByteArray &bytes)
{
    std::memcpy(record + field.offset, bytes.constData(), size_t(bytes.size()));
}

// Whether the text has the pattern's shape: '9' stands for any digit, other bytes for themselves.
bool hasShape(const QByteArray &text, const QByteArray &pattern)
{
    if (text.size() != pattern.size())
        return false;
    for (int i = 0; i < text.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (pattern[i] == '9' ? !digit : text[i] != pattern[i])
            return false;
    }
    return true;
}

bool validSex(const QByteArray &sex)
{
    return QList<QByteArray>{"0", "1", "2", "9", "男", "女", "未知"}.contains(sex);
}

bool validNation(const QByteArray &nation)
{
    static const QStringList names = QString::fromUtf8(
        "汉 蒙古 回 藏 维吾尔 苗 彝 壮 布依 朝鲜 满 侗 瑶 白 土家 哈尼 哈萨克 傣 黎 傈僳 佤 畲 高山 拉祜 水 "
        "东乡 纳西 景颇 柯尔克孜 土 达斡尔 仫佬 羌 布朗 撒拉 毛南 仡佬 锡伯 阿昌 普米 塔吉克 怒 乌孜别克 "
        "俄罗斯 鄂温克 德昂 保安 裕固 京 塔塔尔 独龙 鄂伦春 赫哲 门巴 珞巴 基诺 其他 穿青人").split(' ');
    if (hasShape(nation, "99")) {
        const int code = nation.toInt();
        return (code >= 1 && code <= 56) || code == 97 || code == 98;
    }
    const QByteArray group = nation.endsWith("族") ? nation.left(nation.size() - int(strlen("族"))) : nation;
    return names.contains(QString::fromUtf8(group));
}

bool validDate(const QByteArray &date)
{
    return hasShape(date, "99999999") || hasShape(date, "9999.99.99") || date == "长期";
}

// Carries a field over as read when it holds a value such a field may hold (or nothing),
// else a fictional value of its byte length; notes which it did under the field's name.
void carryChecked(const BaseMessageRecord &from, BaseMessageRecord &to, RecordField field, bool (*valid)(const QByteArray &),
                  const QString &name, RecordRedaction &redaction)
{
    const QByteArray bytes = fieldBytes(from, field);
    const bool keep = bytes.isEmpty() || valid(bytes);
    putField(to, field, keep ? bytes : redactedText(bytes));
    (keep ? redaction.kept : redaction.replaced) << name;
}

QByteArray fictionalBirth(const QByteArray &birth)
{
    return hasShape(birth, "99999999") ? QByteArray("19491001") : redactedText(birth);
}

QByteArray fictionalIdCode(const QByteArray &idCode)
{
    const std::string fictional = "11010519491001001";
    if (idCode.size() == 18 && hasShape(idCode.left(17), "99999999999999999"))
        return QByteArray::fromStdString(fictional + citizenCheckCharacter(fictional));
    return redactedText(idCode);
}

// A name no one else would pick for the temporary folder: random bytes as hexadecimal.
QByteArray stagingName()
{
    unsigned char random[8] = {};
    if (getrandom(random, sizeof random, 0) != ssize_t(sizeof random))
        std::memset(random, 0, sizeof random);
    return ".capture-" + QByteArray(reinterpret_cast<const char *>(random), sizeof random).toHex();
}

bool isStagingName(const QByteArray &name)
{
    const QByteArray digits = name.mid(int(strlen(".capture-")));
    return name.startsWith(".capture-") && digits.size() == 16 && QByteArray::fromHex(digits).toHex() == digits;
}

int interruption()
{
    return endingSignalArrived().number;
}

// Writes all bytes to the file and syncs it; false with errno set when any step fails or a
// signal asked the write to stop.
bool writeWhole(int fd, const QByteArray &bytes)
{
    for (qint64 done = 0; done < bytes.size();) {
        if (interruption()) {
            errno = EINTR;
            return false;
        }
        const ssize_t count = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (count < 0 && errno != EINTR)
            return false;
        // A write that takes nothing would be tried for ever.
        if (count == 0) {
            errno = EIO;
            return false;
        }
        done += std::max<ssize_t>(count, 0);
    }
    return fsync(fd) == 0;
}

// Moves the file into place, never over a file that appeared there meanwhile; where the file
// system cannot refuse to replace, the folder was empty a moment before.
int moveWithoutReplacing(int fromFolder, const char *name, int toFolder)
{
#ifdef RENAME_NOREPLACE
    const int moved = renameat2(fromFolder, name, toFolder, name, RENAME_NOREPLACE);
    if (moved == 0 || (errno != EINVAL && errno != ENOSYS))
        return moved;
#endif
    return renameat(fromFolder, name, toFolder, name);
}

// Creates each file anew in the folder and writes it whole; the names created go into
// `created`, so that they can be removed. Why the first file failed, or empty.
QString stageFiles(int folder, const QVector<CaptureFile> &files, QStringList &created)
{
    for (const CaptureFile &file : files) {
        const int fd = openat(folder, QFile::encodeName(file.name).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            const QString reason = errnoText();
            return Check::tr("writing %1 failed: %2").arg(file.name, reason);
        }
        created << file.name;
        const bool written = writeWhole(fd, file.bytes);
        const QString reason = written ? QString() : errnoText();
        if (close(fd) != 0 || !written) {
            const QString closeReason = written ? errnoText() : reason;
            return Check::tr("writing %1 failed: %2").arg(file.name, closeReason);
        }
    }
    return {};
}

// The names in the folder but "." and ".."; false when it cannot be read.
bool namesIn(int folder, QList<QByteArray> &names)
{
    const int fd = openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR *dir = fd < 0 ? nullptr : fdopendir(fd);
    if (!dir) {
        if (fd >= 0)
            close(fd);
        return false;
    }
    while (const dirent *entry = readdir(dir)) {
        if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0)
            names << QByteArray(entry->d_name);
    }
    closedir(dir);
    return true;
}

bool holdsNothing(int folder)
{
    QList<QByteArray> names;
    return namesIn(folder, names) && names.isEmpty();
}

// Removes the folder's files when it holds regular files only; false, removing none, when it
// holds anything else or cannot be read, and false when a removal fails.
bool removeRegularFiles(int folder, QList<QByteArray> &names)
{
    if (!namesIn(folder, names))
        return false;
    for (const QByteArray &name : names) {
        struct stat info;
        if (fstatat(folder, name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode))
            return false;
    }
    for (const QByteArray &name : names) {
        if (unlinkat(folder, name.constData(), 0) != 0)
            return false;
    }
    return true;
}

// The path in bash's $'...', which reads the escapes the check's output writes for it (\\,
// \x0a, \xff, \u202e) back as what they stand for; a quote in it closes that, stands in double
// quotes and opens it again, with no backslash of its own, which the output would escape.
QString shellQuoted(const QString &path)
{
    return QLatin1String("$'") + QString(path).replace(QLatin1Char('\''), QLatin1String("'\"'\"$'")) + '\'';
}

// The path without trailing slashes and "." components, so that a link named with them
// ("link/", "link/.") is still opened as a link.
QByteArray withoutTrailingSlashes(QByteArray path)
{
    for (;;) {
        if (path.size() > 1 && path.endsWith('/'))
            path.chop(1);
        else if (path.size() > 2 && path.endsWith("/."))
            path.chop(2);
        else
            return path;
    }
}

}

CaptureFolder::CaptureFolder(const QByteArray &path)
    : m_bytes(withoutTrailingSlashes(path)), m_path(fromLocaleEncoding(m_bytes))
{
    m_made = mkdir(m_bytes.constData(), 0700) == 0;
    if (!m_made && errno != EEXIST) {
        const QString reason = errnoText();
        m_refusal = Check::tr("cannot create the capture folder %1: %2").arg(m_path, reason);
        return;
    }
    m_fd = open(m_bytes.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat info;
    if (m_fd < 0 || fstat(m_fd, &info) != 0) {
        const int error = errno;
        m_refusal = error == ENOTDIR || error == ELOOP
            ? Check::tr("%1 is not a folder (links are not followed)").arg(m_path)
            : Check::tr("cannot open the capture folder %1: %2").arg(m_path, errnoText(error));
        return;
    }
    if (info.st_uid != geteuid()) {
        m_refusal = Check::tr("the capture folder %1 belongs to another user; name a folder of your own").arg(m_path);
        return;
    }
    removeUnfinishedCaptures();
    if (!m_refusal.isEmpty())
        return;
    if (!holdsNothing(m_fd))
        m_refusal = Check::tr("the capture folder %1 is not empty; name a new or an empty folder").arg(m_path);
    else if (fchmod(m_fd, 0700) != 0) {
        const QString reason = errnoText();
        m_refusal = Check::tr("cannot make the capture folder %1 private: %2").arg(m_path, reason);
    }
}

// A run of the check that was killed while writing leaves its temporary folder, which holds
// a card's data: removed when it holds nothing but the regular files such a run writes.
void CaptureFolder::removeUnfinishedCaptures()
{
    QList<QByteArray> names;
    namesIn(m_fd, names);
    for (const QByteArray &name : names) {
        struct stat info;
        if (!isStagingName(name) || fstatat(m_fd, name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0
            || !S_ISDIR(info.st_mode) || info.st_uid != geteuid())
            continue;
        const QString shown = m_path + '/' + fromLocaleEncoding(name);
        const int staging = openat(m_fd, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        QList<QByteArray> files;
        if (staging >= 0 && removeRegularFiles(staging, files) && unlinkat(m_fd, name.constData(), AT_REMOVEDIR) == 0) {
            QStringList fileNames;
            for (const QByteArray &file : files)
                fileNames << fromLocaleEncoding(file);
            m_unfinishedRemoved << UnfinishedCapture{shown, fileNames};
        } else {
            m_refusal = Check::tr("the capture folder %1 holds an unfinished capture of an earlier run that was stopped, "
                                  "with a card's data: %2. Delete it with `rm -r -- %3` and run the check again")
                            .arg(m_path, shown, shellQuoted(shown));
        }
        if (staging >= 0)
            close(staging);
    }
}

CaptureFolder::~CaptureFolder()
{
    if (m_fd >= 0)
        close(m_fd);
}

CaptureWrite CaptureFolder::write(const QVector<CaptureFile> &files)
{
    CaptureWrite result = writeStaged(files);
    result.interruption = interruption();
    if (result.interruption && m_made && result.leftovers.isEmpty())
        result.folderRemoved = rmdir(m_bytes.constData()) == 0;
    return result;
}

CaptureWrite CaptureFolder::writeStaged(const QVector<CaptureFile> &files)
{
    QByteArray staging;
    for (int attempt = 0; attempt < 16 && staging.isEmpty(); ++attempt) {
        staging = stagingName();
        if (mkdirat(m_fd, staging.constData(), 0700) != 0) {
            staging.clear();
            if (errno != EEXIST)
                break;
        }
    }
    const int stagingFd = staging.isEmpty() ? -1 : openat(m_fd, staging.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (stagingFd < 0) {
        const QString reason = errnoText();
        const QString error = Check::tr("cannot create a temporary folder in it: %1").arg(reason);
        if (!staging.isEmpty())
            unlinkat(m_fd, staging.constData(), AT_REMOVEDIR);
        return {error, {}};
    }
    QStringList staged;
    CaptureWrite result{stageFiles(stagingFd, files, staged), {}};
    QStringList placed;
    for (int i = 0; result.error.isEmpty() && !interruption() && i < staged.size(); ++i) {
        const QByteArray name = QFile::encodeName(staged[i]);
        if (moveWithoutReplacing(stagingFd, name.constData(), m_fd) != 0) {
            const QString reason = errnoText();
            result.error = Check::tr("moving %1 into place failed: %2").arg(staged[i], reason);
        } else {
            placed << staged[i];
        }
    }
    // Before the last look for a signal: on a slow disk this is what takes the time. A signal
    // after it stays pending, and the check ends by it once it has said what it wrote.
    fsync(m_fd);
    if (interruption())
        result.error = Check::tr("the check was interrupted by %1").arg(signalText(interruption()));
    for (int i = 0; !result.error.isEmpty() && i < staged.size(); ++i) {
        const bool isPlaced = placed.contains(staged[i]);
        if (unlinkat(isPlaced ? m_fd : stagingFd, QFile::encodeName(staged[i]).constData(), 0) != 0)
            result.leftovers << (isPlaced ? staged[i] : QFile::decodeName(staging) + '/' + staged[i]);
    }
    close(stagingFd);
    unlinkat(m_fd, staging.constData(), AT_REMOVEDIR);
    fsync(m_fd);
    return result;
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
        if (length) {
            redacted += differentCharacter(text, at, length, index, fictionalCharacter);
            at += length;
        } else if (gbkPairAt(text, at)) {
            redacted += differentCharacter(text, at, 2, index, fictionalGbkCharacter);
            at += 2;
        } else {
            redacted += (uchar(text[at]) & 0xc0) == 0x80 ? '\x80' : '\xff';
            at += 1;
        }
    }
    return redacted;
}

RecordRedaction redactRecord(BaseMessageRecord &record)
{
    using namespace RecordLayout;
    RecordRedaction redaction;
    BaseMessageRecord redacted = {};
    putField(redacted, Name, redactedText(fieldBytes(record, Name)));
    redaction.replaced << Check::tr("name");
    carryChecked(record, redacted, Sex, validSex, Check::tr("sex"), redaction);
    carryChecked(record, redacted, Nation, validNation, Check::tr("ethnic group"), redaction);
    putField(redacted, Birth, fictionalBirth(fieldBytes(record, Birth)));
    putField(redacted, Address, redactedText(fieldBytes(record, Address)));
    putField(redacted, IdCode, fictionalIdCode(fieldBytes(record, IdCode)));
    putField(redacted, Agency, redactedText(fieldBytes(record, Agency)));
    redaction.replaced << Check::tr("date of birth") << Check::tr("address") << Check::tr("citizen number") << Check::tr("issuing authority");
    carryChecked(record, redacted, ValidFrom, validDate, Check::tr("start of validity"), redaction);
    carryChecked(record, redacted, ValidTo, validDate, Check::tr("end of validity"), redaction);
    std::memcpy(record, redacted, sizeof redacted);
    return redaction;
}

QByteArray placeholderPhoto(const QByteArray &photo)
{
    if (decodePhoto(photo).isNull())
        return {};
    // One bit a pixel, so that the picture is never larger than the photo it replaces: a
    // 24-bit one of a large 1-bit BMP would be over MaxPhotoFileBytes and would not replay.
    QImage image(photoSize(photo), QImage::Format_Mono);
    image.setColorTable({qRgb(0x80, 0x80, 0x80), qRgb(0x80, 0x80, 0x80)});
    // Whole rows: fill() leaves each row's padding as it found it in memory, and the BMP
    // writer writes that padding, which may be the photo's own bytes.
    for (int y = 0; y < image.height(); ++y)
        std::memset(image.scanLine(y), 0, size_t(image.bytesPerLine()));
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    image.save(&out, photoFormat(photo).constData());
    return out.data();
}
