// The photo file the driver names, treated as hostile: only a card photo's formats, bounded
// file and image sizes, one non-blocking open, raw path bytes.

#include "photo.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>
#include <cstdio>
#include <sys/stat.h>

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

// An icon whose directory claims 16 x 16 and whose image is a larger PNG, as the ICO reader allows.
QByteArray icoHidingPng(const QSize &size)
{
    const QByteArray png = encoded(size, "png");
    return le(0, 2) + le(1, 2) + le(1, 2) + QByteArray("\x10\x10\0\0", 4) + le(1, 2) + le(32, 2)
        + le(quint32(png.size()), 4) + le(22, 4) + png;
}

QString writeFile(const QTemporaryDir &dir, const QByteArray &bytes)
{
    QFile file(dir.filePath("photo"));
    file.open(QIODevice::WriteOnly);
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
    void fifoAtThePathIsNotWaitedFor();
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
    QTest::newRow("4096 x 4096 png") << pngHeader(4096, 4096) << QSize();
    QTest::newRow("1000000 x 16 png") << pngHeader(1000000, 16) << QSize();
    QTest::newRow("16777216 x 1 bmp") << bmpHeader(16777216, 1) << QSize();
    QTest::newRow("ico claiming 16 x 16") << icoHidingPng({1100, 1100}) << QSize();
    QTest::newRow("gif") << encoded({102, 126}, "gif") << QSize();
    QTest::newRow("svgz") << QByteArray("\x1f\x8b\x08\0\0\0\0\0\0\x03", 10) + QByteArray(64, ' ') << QSize();
    QTest::newRow("jpeg of many scans") << QByteArray("\xff\xd8\xff") + QByteArray("\xff\xda\0\x02", 4).repeated(65) << QSize();
    QTest::newRow("card photo padded past 1 MiB") << cardBmp + QByteArray(MaxPhotoFileBytes, '\0') << QSize();
    QTest::newRow("empty") << QByteArray() << QSize();
}

void PhotoTest::hostileFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QSize, shown);
    QTemporaryDir dir;
    const QPixmap photo = loadPhoto(QFile::encodeName(writeFile(dir, bytes)));
    QCOMPARE(photo.isNull(), shown.isEmpty());
    if (!photo.isNull())
        QCOMPARE(photo.size(), shown);
}

// A FIFO put where the photo was: the loader's single open neither blocks nor reads it.
void PhotoTest::fifoAtThePathIsNotWaitedFor()
{
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.filePath("photo.bmp"));
    QCOMPARE(mkfifo(path.constData(), 0600), 0);
    QVERIFY(readPhotoFile(path).isEmpty());
    QVERIFY(readPhotoFile("/dev/zero").isEmpty());
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
