#include "photo.h"

#include <QFileInfo>
#include <QImageReader>

QPixmap loadPhoto(const QString &path)
{
    // Only regular files: a FIFO or device would block or never end.
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return QPixmap();
    const QSize size = QImageReader(path).size();
    if (!size.isValid() || qint64(size.width()) * size.height() > MaxPhotoPixels)
        return QPixmap();
    QPixmap photo;
    photo.load(path);
    return photo;
}
