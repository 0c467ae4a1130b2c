// The photo file the driver names, treated as hostile: only a card photo's formats, bounded
// file and image sizes, one non-blocking open, raw path bytes, no work for data the picture
// does not draw.

#include "photo.h"
#include "phototrim.h"
#include "trimmedphoto.h"

#include <QBuffer>
#include <QDir>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>
#include <cstdio>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray encoded(const QSize &size, const char *format, int quality = -1)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(0x6f, 0xa8, 0xdc));
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, quality);
    return buffer.data();
}

QByteArray progressiveJpeg(const QSize &size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(0x6f, 0xa8, 0xdc));
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setProgressiveScanWrite(true);
    writer.write(image);
    return buffer.data();
}

QByteArray le(quint32 value, int bytes)
{
    QByteArray out;
    for (int i = 0; i < bytes; ++i)
        out += char(value >> (8 * i));
    return out;
}

// Only the start of a PNG, claiming a size; the size is all a loader may look at before it refuses.
QByteArray pngHeader(quint32 width, quint32 height)
{
    QByteArray png("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16);
    for (quint32 side : {width, height}) {
        const quint32 big = qToBigEndian(side);
        png += QByteArray(reinterpret_cast<const char *>(&big), 4);
    }
    return png + QByteArray("\x08\x06\0\0\0\0\0\0\0", 9);
}

QByteArray bmpHeader(quint32 width, quint32 height)
{
    return "BM" + QByteArray(8, '\0') + le(54, 4) + le(40, 4) + le(width, 4) + le(height, 4) + le(1, 2) + le(24, 2)
        + QByteArray(24, '\0');
}

QByteArray be(quint32 value, int bytes)
{
    QByteArray out;
    for (int i = bytes - 1; i >= 0; --i)
        out += char(value >> (8 * i));
    return out;
}

quint32 pngCrc(const QByteArray &bytes)
{
    quint32 crc = 0xffffffff;
    for (char byte : bytes) {
        crc ^= uchar(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320 & (0u - (crc & 1)));
    }
    return ~crc;
}

QByteArray pngChunk(const QByteArray &type, const QByteArray &data)
{
    return be(quint32(data.size()), 4) + type + data + be(pngCrc(type + data), 4);
}

QByteArray zlibStream(const QByteArray &bytes)
{
    return qCompress(bytes, 9).mid(4);
}

// An 8-bit RGB PNG whose image data inflates to the given bytes, with the given chunks before it.
QByteArray rgbPng(const QSize &size, bool interlaced, const QByteArray &imageData, const QByteArray &ancillary = {})
{
    const QByteArray header = be(quint32(size.width()), 4) + be(quint32(size.height()), 4) + QByteArray("\x08\x02\0\0", 4) + char(interlaced);
    return "\x89PNG\r\n\x1a\n" + pngChunk("IHDR", header) + ancillary + pngChunk("IDAT", zlibStream(imageData))
        + pngChunk("IEND", {});
}

// Unfiltered grey rows of a non-interlaced picture: all its image data.
QByteArray greyRows(const QSize &size)
{
    return ('\0' + QByteArray(3 * size.width(), '\x7f')).repeated(size.height());
}

QByteArray textBombs(const QByteArray &type)
{
    const QByteArray prefix = type == "zTXt" ? QByteArray("a\0\0", 3) : QByteArray("a\0\1\0\0\0", 6);
    return pngChunk(type, prefix + zlibStream(QByteArray(1000 * 1000, '\0'))).repeated(990);
}

QByteArray jpegSegment(char marker, const QByteArray &data)
{
    return '\xff' + (marker + be(quint32(data.size() + 2), 2)) + data;
}

// A card JPEG with 14 full segments of comments and application data, then bytes after its end;
// all of them hold what a byte scan would take for scan markers.
QByteArray jpegWithPadding()
{
    const QByteArray jpeg = encoded({102, 126}, "jpeg", 95);
    const QByteArray filler = QByteArray("\xff\xda", 2).repeated(32766);
    QByteArray padding;
    for (char marker : {'\xfe', '\xe0', '\xe1', '\xe2', '\xed', '\xee', '\xef'})
        padding += jpegSegment(marker, filler).repeated(2);
    return jpeg.left(2) + padding + jpeg.mid(2) + filler;
}

// An icon whose directory claims 16 x 16 and whose image is a larger PNG, as the ICO reader allows.
QByteArray icoHidingPng(const QSize &size)
{
    const QByteArray png = encoded(size, "png");
    return le(0, 2) + le(1, 2) + le(1, 2) + QByteArray("\x10\x10\0\0", 4) + le(1, 2) + le(32, 2)
        + le(quint32(png.size()), 4) + le(22, 4) + png;
}

QString writeFile(const QTemporaryDir &dir, const QByteArray &bytes)
{
    QFile file(QDir(dir.path()).filePath("photo"));
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(file.fileName()));
    file.write(bytes);
    return file.fileName();
}

}

class PhotoTest : public QObject
{
    Q_OBJECT

private slots:
    void hostileFiles_data();
    void hostileFiles();
    void refusedFiles_data();
    void refusedFiles();
    void pathIsItsRawBytes();
};

void PhotoTest::hostileFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QSize>("shown");
    const QByteArray cardBmp = encoded({102, 126}, "bmp");
    QTest::newRow("card photo, bmp") << cardBmp << QSize(102, 126);
    QTest::newRow("card photo, png") << encoded({102, 126}, "png") << QSize(102, 126);
    QTest::newRow("card photo, jpeg") << encoded({102, 126}, "jpeg", 95) << QSize(102, 126);
    QTest::newRow("smaller, unscaled") << encoded({51, 63}, "png") << QSize(51, 63);
    QTest::newRow("640 x 480, into the box") << encoded({640, 480}, "png") << QSize(102, 76);
    QTest::newRow("side of 1024, into the box") << encoded({1024, 800}, "png") << QSize(102, 79);
    QTest::newRow("side of 1025") << encoded({1025, 800}, "png") << QSize();
    for (const char *format : {"bmp", "png", "jpeg"}) {
        QTest::newRow(qPrintable(QString("1 x 1025 %1").arg(format))) << encoded({1, 1025}, format, 95) << QSize();
        QTest::newRow(qPrintable(QString("1025 x 1 %1").arg(format))) << encoded({1025, 1}, format, 95) << QSize();
    }
    QTest::newRow("4096 x 4096 png") << pngHeader(4096, 4096) << QSize();
    QTest::newRow("1000000 x 16 png") << pngHeader(1000000, 16) << QSize();
    QTest::newRow("16777216 x 1 bmp") << bmpHeader(16777216, 1) << QSize();
    QTest::newRow("ico claiming 16 x 16") << icoHidingPng({1100, 1100}) << QSize();
    QTest::newRow("gif") << encoded({102, 126}, "gif") << QSize();
    QTest::newRow("svgz") << QByteArray("\x1f\x8b\x08\0\0\0\0\0\0\x03", 10) + QByteArray(64, ' ') << QSize();
    QTest::newRow("jpeg of many scans") << QByteArray("\xff\xd8\xff") + QByteArray("\xff\xda\0\x02", 4).repeated(65) << QSize();
    QTest::newRow("card photo, progressive jpeg") << progressiveJpeg({102, 126}) << QSize(102, 126);
    const QSize card(102, 126);
    QTest::newRow("png, 990 zTXt of 1 MB each") << rgbPng(card, false, greyRows(card), textBombs("zTXt")) << card;
    QTest::newRow("png, 990 iTXt of 1 MB each") << rgbPng(card, false, greyRows(card), textBombs("iTXt")) << card;
    QTest::newRow("png, interlaced, 8 x 8") << rgbPng({8, 8}, true, QByteArray(207, '\0')) << QSize(8, 8);
    QTest::newRow("png, image data 16 MB past the image")
        << rgbPng(card, false, greyRows(card) + QByteArray(16 << 20, '\0')) << QSize();
    QTest::newRow("png, image data a row short") << rgbPng(card, false, greyRows({102, 125})) << QSize();
    // What the decoder would refuse, were it handed more than the chunks that draw the picture.
    QTest::newRow("png, unknown critical chunk") << rgbPng(card, false, greyRows(card), pngChunk("CRIT", "x")) << card;
    QTest::newRow("png, zTXt after IEND") << rgbPng(card, false, greyRows(card)) + textBombs("zTXt").left(1000000) << card;
    QTest::newRow("jpeg, 900 KB of comments and app data, more after EOI") << jpegWithPadding() << card;
    const QByteArray cardJpeg = encoded(card, "jpeg", 95);
    QTest::newRow("jpeg, 260000 empty comments") << cardJpeg.left(2) + QByteArray("\xff\xfe\0\x02", 4).repeated(260000) + cardJpeg.mid(2) << card;
    QTest::newRow("bmp, rows missing at the end") << cardBmp.left(cardBmp.size() - 100) << QSize();
    QTest::newRow("bmp, trailing data up to 1 MiB") << cardBmp + QByteArray(MaxPhotoFileBytes - cardBmp.size(), '\xff') << card;
    QTest::newRow("card photo padded past 1 MiB") << cardBmp + QByteArray(MaxPhotoFileBytes, '\0') << QSize();
    QTest::newRow("empty") << QByteArray() << QSize();
}

// The decoder is handed only what trimming may keep, checked before the slow decodes of a bomb.
void PhotoTest::hostileFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QSize, shown);
    const QString fault = trimmingFault(pictureBytes(bytes, photoFormat(bytes)), photoFormat(bytes));
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
    QTemporaryDir dir;
    const QPixmap photo = loadPhoto(QFile::encodeName(writeFile(dir, bytes)));
    QCOMPARE(photo.isNull(), shown.isEmpty());
    if (!photo.isNull())
        QCOMPARE(photo.size(), shown);
}

void PhotoTest::refusedFiles_data()
{
    static QTemporaryDir dir;
    const QByteArray fifo = QFile::encodeName(QDir(dir.path()).filePath("fifo"));
    mkfifo(fifo.constData(), 0600);
    // Regular, of size 0, and read as a block of lines per mapping: 4000 mappings make it over
    // 1 MiB, as a file that grows after its size was checked.
    const long page = sysconf(_SC_PAGESIZE);
    static char *mappings = static_cast<char *>(mmap(nullptr, size_t(8000 * page), PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    for (int at = 0; at < 8000; at += 2)
        mprotect(mappings + at * page, size_t(page), PROT_READ);
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<int>("problem");
    QTest::addColumn<int>("error");
    QTest::newRow("no path") << QByteArray() << int(PhotoFile::NoPath) << 0;
    QTest::newRow("missing") << QFile::encodeName(dir.path()) + "/missing" << int(PhotoFile::OpenFailed) << ENOENT;
    QTest::newRow("FIFO, not waited for") << fifo << int(PhotoFile::NotRegularFile) << 0;
    QTest::newRow("device") << QByteArray("/dev/zero") << int(PhotoFile::NotRegularFile) << 0;
    QTest::newRow("folder") << QFile::encodeName(dir.path()) << int(PhotoFile::NotRegularFile) << 0;
    QTest::newRow("empty") << QFile::encodeName(writeFile(dir, {})) << int(PhotoFile::ReadFailed) << 0;
    QTest::newRow("over 1 MiB once read") << QByteArray("/proc/self/smaps") << int(PhotoFile::TooLarge) << 0;
}

void PhotoTest::refusedFiles()
{
    QFETCH(QByteArray, path);
    QFETCH(int, problem);
    QFETCH(int, error);
    const PhotoFile file = openPhotoFile(path);
    QCOMPARE(int(file.problem), problem);
    QCOMPARE(file.error, error);
    QVERIFY(file.bytes.isEmpty());
}

// A driver on a GBK system names folders in GBK: the bytes are the path, whatever they encode.
void PhotoTest::pathIsItsRawBytes()
{
    QTemporaryDir dir;
    const QByteArray folder = QFile::encodeName(dir.path()) + "/\xc9\xed\xb7\xdd\xd6\xa4";
    QCOMPARE(mkdir(folder.constData(), 0700), 0);
    const QByteArray path = folder + "/photo.png";
    FILE *out = fopen(path.constData(), "wb");
    QVERIFY(out);
    const QByteArray png = encoded({102, 126}, "png");
    fwrite(png.constData(), 1, size_t(png.size()), out);
    fclose(out);
    QCOMPARE(loadPhoto(path).size(), QSize(102, 126));
}

QTEST_MAIN(PhotoTest)
#include "tst_photo.moc"
