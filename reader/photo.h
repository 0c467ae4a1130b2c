#pragma once

#include <QByteArray>
#include <QImage>
#include <QPixmap>
#include <QSize>

// A card photo is a 102 x 126 BMP, PNG or JPEG of a few kilobytes. Anything much larger is
// not one: these bounds keep a hostile file from taking the window's time or memory.
constexpr qint64 MaxPhotoFileBytes = 1024 * 1024;
constexpr int MaxPhotoSide = 1024;
// More scans than any real progressive JPEG has; each scan walks the whole image again.
constexpr int MaxJpegScans = 64;
// The photo's place in the window: a larger picture is scaled down to fit it.
constexpr QSize PhotoBox(102, 126);

// What one non-blocking open of the path's raw bytes (no encoding assumed) found: the bytes
// of a regular file of at most MaxPhotoFileBytes, or why there are none.
struct PhotoFile {
    enum Problem { None, NoPath, OpenFailed, NotRegularFile, TooLarge, ReadFailed };
    Problem problem = NoPath;
    int error = 0; // errno of a failed open or read
    QByteArray bytes;
};
PhotoFile openPhotoFile(const QByteArray &path);

// Only the bytes of openPhotoFile: empty when there are none.
QByteArray readPhotoFile(const QByteArray &path);

// "bmp", "png" or "jpeg" when the bytes begin as a card photo of that format does; else empty.
QByteArray photoFormat(const QByteArray &bytes);

// The pixel size a card photo's header states; invalid for anything that is not one, or that
// decodePhoto refuses without decoding (a PNG over MaxPhotoSide a side, for one).
QSize photoSize(const QByteArray &bytes);

// The picture in the bytes when they hold a BMP, PNG or JPEG (told by content, never by name)
// with no side over MaxPhotoSide, scaled down into PhotoBox when larger; otherwise null. The
// decoder sees only what draws the picture (see pictureBytes), so nothing else costs it work.
QImage decodePhoto(const QByteArray &bytes);

// The photo the library named, as the window shows it; null when there is none to show.
QPixmap loadPhoto(const QByteArray &path);
