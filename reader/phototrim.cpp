#include "phototrim.h"

#include "photo.h"

#include <QtEndian>
#include <array>
#include <zlib.h>

namespace {

// Qt before 5.7 reads an integer only from unsigned bytes.
const uchar *bytesAt(const QByteArray &bytes, int at)
{
    return reinterpret_cast<const uchar *>(bytes.constData() + at);
}

quint32 bigEndian32(const QByteArray &bytes, int at)
{
    return qFromBigEndian<quint32>(bytesAt(bytes, at));
}

quint16 bigEndian16(const QByteArray &bytes, int at)
{
    return qFromBigEndian<quint16>(bytesAt(bytes, at));
}

quint32 littleEndian32(const QByteArray &bytes, int at)
{
    return qFromLittleEndian<quint32>(bytesAt(bytes, at));
}

quint16 littleEndian16(const QByteArray &bytes, int at)
{
    return qFromLittleEndian<quint16>(bytesAt(bytes, at));
}

// Inflates a zlib stream piece by piece into a small scratch buffer, keeping nothing but the
// count, and gives up as soon as the stream breaks or inflates to more than the limit.
class BoundedInflate
{
public:
    explicit BoundedInflate(qint64 bound) : limit(bound), healthy(inflateInit(&stream) == Z_OK) {}
    ~BoundedInflate() { inflateEnd(&stream); }
    BoundedInflate(const BoundedInflate &) = delete;
    BoundedInflate &operator=(const BoundedInflate &) = delete;

    // False once the stream is broken or longer than the limit. Bytes after its end are ignored.
    bool feed(const char *data, int size)
    {
        stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data));
        stream.avail_in = uInt(size);
        while (healthy && !ended && stream.avail_in > 0) {
            std::array<Bytef, 16384> scratch;
            stream.next_out = scratch.data();
            stream.avail_out = uInt(scratch.size());
            const int result = inflate(&stream, Z_NO_FLUSH);
            produced += qint64(scratch.size() - stream.avail_out);
            ended = result == Z_STREAM_END;
            healthy = (result == Z_OK || ended) && produced <= limit;
        }
        return healthy;
    }

    // True when the stream has ended, having inflated to exactly the limit.
    bool complete() const { return healthy && ended && produced == limit; }

private:
    z_stream stream = {};
    const qint64 limit;
    qint64 produced = 0;
    bool healthy;
    bool ended = false;
};

// Samples per pixel of a PNG colour type at a bit depth; 0 for a combination no PNG has.
int pngChannels(int colourType, int depth)
{
    const bool wide = depth == 8 || depth == 16;
    const bool narrow = depth == 1 || depth == 2 || depth == 4;
    switch (colourType) {
    case 0: return wide || narrow ? 1 : 0;
    case 2: return wide ? 3 : 0;
    case 3: return depth == 8 || narrow ? 1 : 0;
    case 4: return wide ? 2 : 0;
    case 6: return wide ? 4 : 0;
    }
    return 0;
}

// Each row of filtered image data starts with its filter's byte.
qint64 pngRowsBytes(qint64 width, qint64 height, int bitsPerPixel)
{
    return width > 0 && height > 0 ? height * (1 + (width * bitsPerPixel + 7) / 8) : 0;
}

qint64 adam7PassSide(qint64 side, int start, int step)
{
    return side > start ? (side - start + step - 1) / step : 0;
}

// The bytes the image data of a PNG inflates to, by its 13-byte IHDR; 0 for a header no
// decoder takes or with a side over MaxPhotoSide.
qint64 pngImageDataBytes(const QByteArray &header)
{
    const quint32 width = bigEndian32(header, 0);
    const quint32 height = bigEndian32(header, 4);
    const int depth = uchar(header[8]);
    const int channels = pngChannels(uchar(header[9]), depth);
    const int interlace = uchar(header[12]);
    if (channels == 0 || width > quint32(MaxPhotoSide) || height > quint32(MaxPhotoSide) || interlace > 1)
        return 0;
    if (interlace == 0)
        return pngRowsBytes(width, height, channels * depth);
    // Adam7's seven passes, each a smaller image of its own rows: first column and row, steps.
    static const int passes[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                     {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
    qint64 total = 0;
    for (const auto &pass : passes)
        total += pngRowsBytes(adam7PassSide(width, pass[0], pass[2]), adam7PassSide(height, pass[1], pass[3]),
                              channels * depth);
    return total;
}

struct PngChunk
{
    QByteArray type; // empty when the bytes end inside the chunk
    int start = 0;   // of its length field; its data starts 8 bytes later, its CRC follows the data
    int length = 0;

    int end() const { return start + 12 + length; }
};

PngChunk pngChunkAt(const QByteArray &bytes, int at)
{
    if (bytes.size() - at < 12)
        return {};
    const quint32 length = bigEndian32(bytes, at);
    if (length > quint32(bytes.size() - at - 12))
        return {};
    return {bytes.mid(at + 4, 4), at, int(length)};
}

bool drawsPngPicture(const QByteArray &chunkType)
{
    return chunkType == "IHDR" || chunkType == "PLTE" || chunkType == "tRNS" || chunkType == "IDAT"
        || chunkType == "IEND";
}

// The signature and the chunks that draw the picture, up to IEND; empty unless the image data
// inflates to exactly what the header states.
QByteArray trimmedPng(const QByteArray &bytes)
{
    const int signatureBytes = 8;
    const PngChunk header = pngChunkAt(bytes, signatureBytes);
    if (header.type != "IHDR" || header.length != 13)
        return {};
    const qint64 imageDataBytes = pngImageDataBytes(bytes.mid(header.start + 8, 13));
    if (imageDataBytes == 0)
        return {};
    BoundedInflate imageData(imageDataBytes);
    QByteArray trimmed = bytes.left(signatureBytes);
    for (PngChunk chunk = header; !chunk.type.isEmpty(); chunk = pngChunkAt(bytes, chunk.end())) {
        if (chunk.type == "IDAT" && !imageData.feed(bytes.constData() + chunk.start + 8, chunk.length))
            return {};
        if (drawsPngPicture(chunk.type))
            trimmed += bytes.mid(chunk.start, chunk.end() - chunk.start);
        if (chunk.type == "IEND")
            return imageData.complete() ? trimmed : QByteArray();
    }
    return {};
}

// Where the entropy-coded data starting at `at` ends: at the next marker, which is neither a
// stuffed 0xff 0x00 nor a restart marker; the end of the bytes when none follows.
int jpegEntropyCodedEnd(const QByteArray &bytes, int at)
{
    for (at = bytes.indexOf('\xff', at); at >= 0; at = bytes.indexOf('\xff', at + 1)) {
        int code = at + 1;
        while (code < bytes.size() && uchar(bytes[code]) == 0xff)
            ++code;
        if (code == bytes.size())
            break;
        if (bytes[code] != 0 && (uchar(bytes[code]) < 0xd0 || uchar(bytes[code]) > 0xd7))
            return at;
        at = code;
    }
    return bytes.size();
}

// Comments and application data are left out, except the JFIF and Adobe segments that say how
// the colours are coded.
bool drawsJpegPicture(uchar marker, const QByteArray &bytes, int dataAt)
{
    if (marker == 0xe0)
        return bytes.mid(dataAt, 5) == QByteArray("JFIF\0", 5);
    if (marker == 0xee)
        return bytes.mid(dataAt, 5) == "Adobe";
    return marker != 0xfe && (marker < 0xe0 || marker > 0xef);
}

bool isStandaloneJpegMarker(uchar marker)
{
    return marker == 0x01 || (marker >= 0xd0 && marker <= 0xd7);
}

// The segments and scans that draw the picture, up to EOI; empty when the markers do not
// parse or there are more than MaxJpegScans scans. A file cut inside its scans keeps what it
// has, as the decoder draws what it can of a truncated picture.
QByteArray trimmedJpeg(const QByteArray &bytes)
{
    QByteArray trimmed = bytes.left(2);
    int scans = 0;
    int at = 2;
    while (at < bytes.size()) {
        if (uchar(bytes[at]) != 0xff)
            return {};
        while (at + 1 < bytes.size() && uchar(bytes[at + 1]) == 0xff)
            ++at;
        if (at + 1 == bytes.size())
            break;
        const uchar marker = uchar(bytes[at + 1]);
        if (marker == 0xd9)
            return trimmed + "\xff\xd9";
        if (isStandaloneJpegMarker(marker)) {
            trimmed += bytes.mid(at, 2);
            at += 2;
            continue;
        }
        if (marker == 0x00 || marker == 0xd8 || bytes.size() - at < 4)
            return {};
        const int length = bigEndian16(bytes, at + 2);
        if (length < 2 || length > bytes.size() - at - 2)
            return {};
        if (drawsJpegPicture(marker, bytes, at + 4))
            trimmed += bytes.mid(at, 2 + length);
        at += 2 + length;
        if (marker == 0xda) {
            if (++scans > MaxJpegScans)
                return {};
            const int scanEnd = jpegEntropyCodedEnd(bytes, at);
            trimmed += bytes.mid(at, scanEnd - at);
            at = scanEnd;
        }
    }
    return scans > 0 ? trimmed : QByteArray();
}

// Where an uncompressed BMP's pixels end by its header: where they start, plus its rows, each
// padded to four bytes; 0 when the header is of another kind, compressed or out of bounds.
qint64 bmpPixelsEnd(const QByteArray &bytes)
{
    if (bytes.size() < 26)
        return 0;
    const qint64 pixelsAt = littleEndian32(bytes, 10);
    const quint32 headerBytes = littleEndian32(bytes, 14);
    const bool core = headerBytes == 12;
    if ((!core && (headerBytes < 40 || bytes.size() < 34)) || pixelsAt < 14 + qint64(headerBytes))
        return 0;
    const qint64 width = core ? littleEndian16(bytes, 18) : qint32(littleEndian32(bytes, 18));
    const qint64 height = qAbs(core ? littleEndian16(bytes, 20) : qint64(qint32(littleEndian32(bytes, 22))));
    const int depth = littleEndian16(bytes, core ? 24 : 28);
    const quint32 compression = core ? 0 : littleEndian32(bytes, 30);
    const bool uncompressed = compression == 0 || compression == 3; // plain or with bit-field masks
    if (!uncompressed || width < 1 || width > MaxPhotoSide || height < 1 || height > MaxPhotoSide)
        return 0;
    return pixelsAt + (width * depth + 31) / 32 * 4 * height;
}

// Cut where the pixels end; refused when they end past the file, since the decoder would
// leave the missing rows as whatever its memory held before.
QByteArray trimmedBmp(const QByteArray &bytes)
{
    const qint64 end = bmpPixelsEnd(bytes);
    if (end > bytes.size())
        return {};
    return end > 0 ? bytes.left(int(end)) : bytes;
}

}

QByteArray pictureBytes(const QByteArray &bytes, const QByteArray &format)
{
    if (format == "png")
        return trimmedPng(bytes);
    if (format == "jpeg")
        return trimmedJpeg(bytes);
    if (format == "bmp")
        return trimmedBmp(bytes);
    return {};
}
