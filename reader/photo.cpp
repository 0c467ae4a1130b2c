#include "photo.h"

#include <QFileInfo>
#include <QImageReader>

// Decoded through QImageReader rather than QPixmap::load: the library rewrites the same file
// at every read, and QPixmap::load would keep each version in the pixmap cache (up to 10 MB).
QPixmap loadPhoto(const QString &path)
{
    // Only regular files: a FIFO or device would block or never end.
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return QPixmap();
    QImageReader reader(path);
    const QSize size = reader.size();
    if (!size.isValid() || qint64(size.width()) * size.height() > MaxPhotoPixels)
        return QPixmap();
    return QPixmap::fromImage(reader.read());
}
