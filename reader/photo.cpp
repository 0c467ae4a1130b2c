#include "photo.h"

#include "phototrim.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool withinSides(const QSize &size)
{
    return !size.isEmpty() && size.width() <= MaxPhotoSide && size.height() <= MaxPhotoSide;
}

QImage fitIntoPhotoBox(const QImage &image)
{
    if (image.width() <= PhotoBox.width() && image.height() <= PhotoBox.height())
        return image;
    return image.scaled(PhotoBox, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

// Reads the picture in a photo file's bytes with a decoder of the format its first bytes tell,
// handed only the bytes that draw the picture; a reader of nothing when there are none.
template <typename Read>
auto readPicture(const QByteArray &bytes, Read read)
{
    const QByteArray format = photoFormat(bytes);
    QBuffer buffer;
    buffer.setData(pictureBytes(bytes, format));
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setAutoDetectImageFormat(false);
    return read(reader);
}

}

QByteArray photoFormat(const QByteArray &bytes)
{
    if (bytes.startsWith("BM"))
        return "bmp";
    if (bytes.startsWith("\x89PNG\r\n\x1a\n"))
        return "png";
    if (bytes.startsWith("\xff\xd8\xff"))
        return "jpeg";
    return {};
}

PhotoFile openPhotoFile(const QByteArray &path)
{
    if (path.isEmpty())
        return {};
    // One open, checked through its own descriptor: nothing can swap the file in between, and
    // a FIFO or device opens without blocking and is refused.
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return {PhotoFile::OpenFailed, errno, {}};
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return {PhotoFile::ReadFailed, 0, {}};
    }
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        return {PhotoFile::NotRegularFile, 0, {}};
    if (info.st_size > MaxPhotoFileBytes)
        return {PhotoFile::TooLarge, 0, {}};
    // One byte more than allowed, so that a file that grew meanwhile shows as too long.
    errno = 0;
    const QByteArray bytes = file.read(MaxPhotoFileBytes + 1);
    if (bytes.isEmpty())
        return {PhotoFile::ReadFailed, errno, {}}; // errno 0: the file is empty
    if (bytes.size() > MaxPhotoFileBytes)
        return {PhotoFile::TooLarge, 0, {}};
    return {PhotoFile::None, 0, bytes};
}

QByteArray readPhotoFile(const QByteArray &path)
{
    return openPhotoFile(path).bytes;
}

QSize photoSize(const QByteArray &bytes)
{
    return readPicture(bytes, [](QImageReader &reader) { return reader.size(); });
}

QImage decodePhoto(const QByteArray &bytes)
{
    return readPicture(bytes, [](QImageReader &reader) {
        if (!withinSides(reader.size()))
            return QImage();
        const QImage image = reader.read();
        return withinSides(image.size()) ? fitIntoPhotoBox(image) : QImage();
    });
}

// Decoded from the bytes rather than with QPixmap::load: the library rewrites the same file
// at every read, and QPixmap::load would keep each version in the pixmap cache.
QPixmap loadPhoto(const QByteArray &path)
{
    return QPixmap::fromImage(decodePhoto(readPhotoFile(path)));
}
