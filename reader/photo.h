#pragma once

#include <QPixmap>
#include <QString>

// Largest photo, in pixels, that the window loads. A card photo is 102 x 126; a file claiming
// far more is not a card photo, and decoding it could take gigabytes.
constexpr qint64 MaxPhotoPixels = 4096 * 4096;

// The photo the library wrote, in whatever image format the file holds, unscaled; a null
// pixmap when the path is empty, names no regular file, or the file is not an image of at
// most MaxPhotoPixels.
QPixmap loadPhoto(const QString &path);
