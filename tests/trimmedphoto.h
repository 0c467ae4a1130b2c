#pragma once

// What pictureBytes may hand a decoder, checked by walking the trimmed bytes on their own:
// a PNG's signature, then IHDR (no side over MaxPhotoSide) and only IHDR, PLTE, tRNS, IDAT
// and IEND chunks, nothing after IEND; a JPEG's segments with no comment or application data
// but JFIF and Adobe, at most MaxJpegScans scans, nothing after EOI; an uncompressed BMP within
// the side bound, nothing past its pixels' end. Shared by tst_photo and the photo fuzz target.

#include "photo.h"

#include <QByteArray>
#include <QString>
#include <QtEndian>

namespace trimmedphoto {

inline quint32 at32(const QByteArray &bytes, qint64 at, bool big = true)
{
    const auto *data = reinterpret_cast<const uchar *>(bytes.constData() + at);
    return big ? qFromBigEndian<quint32>(data) : qFromLittleEndian<quint32>(data);
}

inline quint16 at16(const QByteArray &bytes, qint64 at, bool big = true)
{
    const auto *data = reinterpret_cast<const uchar *>(bytes.constData() + at);
    return big ? qFromBigEndian<quint16>(data) : qFromLittleEndian<quint16>(data);
}

inline QString pngFault(const QByteArray &png)
{
    if (!png.startsWith("\x89PNG\r\n\x1a\n"))
        return "no PNG signature";
    for (qint64 at = 8; at + 12 <= png.size();) {
        const QByteArray type = png.mid(int(at) + 4, 4);
        if ((at == 8 && type != "IHDR") || png.size() < 24)
            return "IHDR not first";
        if (at == 8 && (at32(png, 16) > quint32(MaxPhotoSide) || at32(png, 20) > quint32(MaxPhotoSide)))
            return "a side over MaxPhotoSide";
        if (type != "IHDR" && type != "PLTE" && type != "tRNS" && type != "IDAT" && type != "IEND")
            return "a chunk " + QString::fromLatin1(type);
        at += 12 + qint64(at32(png, at));
        if (type == "IEND")
            return at == png.size() ? QString() : "bytes after IEND";
    }
    return "no IEND";
}

inline bool keptApplicationData(uchar marker, const QByteArray &jpeg, qint64 dataAt)
{
    return (marker == 0xe0 && jpeg.mid(int(dataAt), 5) == QByteArray("JFIF\0", 5))
        || (marker == 0xee && jpeg.mid(int(dataAt), 5) == "Adobe");
}

// Where a scan's entropy-coded data ends: at a marker other than a stuffed zero or a restart.
inline qint64 scanEnd(const QByteArray &jpeg, qint64 at)
{
    for (; at + 1 < jpeg.size(); ++at) {
        const uchar next = uchar(jpeg[int(at) + 1]);
        if (uchar(jpeg[int(at)]) == 0xff && next != 0 && next != 0xff && (next < 0xd0 || next > 0xd7))
            return at;
    }
    return jpeg.size();
}

// A file cut inside its scans may end without EOI; nothing may follow one.
inline QString jpegFault(const QByteArray &jpeg)
{
    if (!jpeg.startsWith("\xff\xd8"))
        return "no SOI";
    int scans = 0;
    for (qint64 at = 2; at + 1 < jpeg.size();) {
        const uchar marker = uchar(jpeg[int(at) + 1]);
        if (uchar(jpeg[int(at)]) != 0xff)
            return "no marker where a segment ends";
        if (marker == 0xd9)
            return at + 2 == jpeg.size() ? QString() : "bytes after EOI";
        if (marker == 0xff || marker == 0x01 || (marker >= 0xd0 && marker <= 0xd7)) {
            at += marker == 0xff ? 1 : 2;
            continue;
        }
        if (marker == 0xfe || (marker >= 0xe0 && marker <= 0xef && !keptApplicationData(marker, jpeg, at + 4)))
            return QString("a segment 0x%1").arg(marker, 0, 16);
        at += 2 + (at + 4 <= jpeg.size() ? at16(jpeg, at + 2) : 0);
        if (marker == 0xda && ++scans > MaxJpegScans)
            return "more than MaxJpegScans scans";
        if (marker == 0xda)
            at = scanEnd(jpeg, at);
    }
    return {};
}

// Only an uncompressed BMP (plain or with bit-field masks) states where its pixels end; one
// with a side over MaxPhotoSide or pixels inside its header is left whole, for the decoder to
// refuse by its header.
inline QString bmpFault(const QByteArray &bmp)
{
    if (bmp.size() < 34 || at32(bmp, 14, false) < 40 || (at32(bmp, 30, false) != 0 && at32(bmp, 30, false) != 3))
        return {};
    const qint64 width = qint32(at32(bmp, 18, false));
    const qint64 height = qAbs(qint64(qint32(at32(bmp, 22, false))));
    const qint64 pixelsAt = at32(bmp, 10, false);
    if (width < 1 || width > MaxPhotoSide || height < 1 || height > MaxPhotoSide || pixelsAt < 14 + qint64(at32(bmp, 14, false)))
        return {};
    const qint64 end = pixelsAt + (width * at16(bmp, 28, false) + 31) / 32 * 4 * height;
    return bmp.size() > end ? "bytes past the pixels' end" : QString();
}

}

// Why the bytes pictureBytes gave for a file of the format are not what it may give; empty
// when they are, and for no bytes at all.
inline QString trimmingFault(const QByteArray &trimmed, const QByteArray &format)
{
    if (trimmed.isEmpty())
        return {};
    if (format == "png")
        return trimmedphoto::pngFault(trimmed);
    if (format == "jpeg")
        return trimmedphoto::jpegFault(trimmed);
    if (format == "bmp")
        return trimmedphoto::bmpFault(trimmed);
    return "bytes for a format no decoder is given";
}
