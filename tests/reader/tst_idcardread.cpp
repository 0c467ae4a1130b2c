// The resident ID card read, driven by a click on btn_reread through the fake driver.

#include "readerfixture.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <sys/stat.h>

using fakedriver::calls;
using fakedriver::script;

namespace {

using CallList = QList<QPair<QString, QList<qint64>>>;

CallList recordedCalls()
{
    CallList list;
    for (const fakedriver::Call &call : calls()) {
        QList<qint64> args;
        for (int64_t arg : call.args)
            args << arg;
        list << qMakePair(QString::fromStdString(call.function), args);
    }
    return list;
}

const CallList successfulCalls = {
    {"ICC_Reader_Open", {}},
    {"ICC_GetSAMIDToStr", {0}},
    {"ICC_Reader_PowerOff", {0, 0x31}},
    {"ICC_Reader_PowerOn", {0, 0x31}},
    {"ICC_Authenticate", {0}},
    {"ICC_ReadBaseMsgData", {0, 0}},
    {"ICC_Reader_PowerOff", {0, 0x31}},
    {"ICC_Reader_Close", {}},
};

// A PNG header that claims a 20000 x 20000 image, with no image data behind it.
QByteArray hugePngHeader()
{
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    png += QByteArray::fromHex("0000000d49484452") + QByteArray::fromHex("00004e2000004e20") + QByteArray::fromHex("0806000000");
    png += QByteArray::fromHex("00000000"); // CRC, not checked before the size is known
    return png;
}

// Writes the file a photo case needs and gives the path the driver reports for it.
QString photoFile(const QString &kind, const QTemporaryDir &dir)
{
    QImage image(kind == "large" ? QSize(640, 480) : QSize(102, 126), QImage::Format_RGB32);
    image.fill(QColor(0x6f, 0xa8, 0xdc));
    const QString png = QDir(dir.path()).filePath("photo.png");
    image.save(png);
    QFile source(png);
    if (!source.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(png));
    const QByteArray pngBytes = source.readAll();
    const QMap<QString, QByteArray> contents = {{"zero-length", {}}, {"text", "not an image\n"},
                                                {"truncated", pngBytes.left(pngBytes.size() / 2)},
                                                {"huge", hugePngHeader()}};
    if (contents.contains(kind)) {
        QFile file(QDir(dir.path()).filePath("photo.bin"));
        if (!file.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(file.fileName()));
        file.write(contents[kind]);
        return file.fileName();
    }
    if (kind == "bmp") {
        image.save(QDir(dir.path()).filePath("photo.bmp"));
        return QDir(dir.path()).filePath("photo.bmp");
    }
    if (kind == "fifo") {
        mkfifo(QFile::encodeName(QDir(dir.path()).filePath("photo.fifo")).constData(), 0600);
        return QDir(dir.path()).filePath("photo.fifo");
    }
    if (kind == "relative") {
        QDir::setCurrent(dir.path());
        return "photo.png";
    }
    const QMap<QString, QString> paths = {{"empty", ""}, {"missing", QDir(dir.path()).filePath("absent.bmp")}, {"directory", dir.path()}};
    return paths.value(kind, png);
}

}

class IdCardReadTest : public QObject, public ReaderFixture
{
    Q_OBJECT

private slots:
    void init()
    {
        startWindow();
        script().record = sampleRecord().bytes;
    }

    void successfulReadCallsInOrder();
    void failedOpen_data();
    void failedOpen();
    void failedBaseMessageRead_data();
    void failedBaseMessageRead();
    void overrunFailsTheRead_data();
    void overrunFailsTheRead();
    void ignoredResultsDoNotStopTheRead();
    void radioButtonsDoNotChangeTheCalls();
    void fillsTheCardFields();
    void dateAndValidityPieces_data();
    void dateAndValidityPieces();
    void photo_data();
    void photo();
    void photoPathOfExactlyTheBufferSize();
    void rewrittenPhotoShowsAnew();
    void fingerprint_data();
    void fingerprint();
    void pageSwitch_data();
    void pageSwitch();
    void failedReadAfterSuccessfulOneEmptiesEverything();
    void clearsSocialSecurityText();

private:
    // One debug message with this text, category "default" and no context; nothing shown.
    void checkFailureReported(const QString &text)
    {
        QCOMPARE(int(MessageCapture::messages().size()), 1);
        const LoggedMessage &message = MessageCapture::messages().front();
        QCOMPARE(message.type, QtDebugMsg);
        QCOMPARE(message.text, text);
        QCOMPARE(message.category, QByteArray("default"));
        QVERIFY(!message.file);
        QCOMPARE(message.line, 0);
        QVERIFY(!message.function);
        QCOMPARE(cardFields(), emptyFields());
        QCOMPARE(page(), 1);
    }
};

void IdCardReadTest::successfulReadCallsInOrder()
{
    click("btn_reread");
    QCOMPARE(recordedCalls(), successfulCalls);
    QCOMPARE(calls().front().device, std::string());
    for (const fakedriver::Call &call : calls())
        QVERIFY2(call.buffersZeroed, call.function.c_str());
    QVERIFY(MessageCapture::messages().empty());
}

void IdCardReadTest::failedOpen_data()
{
    QTest::addColumn<int>("result");
    QTest::newRow("0") << 0;
    QTest::newRow("-1") << -1;
    QTest::newRow("2") << 2;
    QTest::newRow("INT_MIN") << INT_MIN;
}

void IdCardReadTest::failedOpen()
{
    QFETCH(int, result);
    script().open = result;
    MessageCapture capture;
    click("btn_reread");
    QCOMPARE(recordedCalls(), CallList({{"ICC_Reader_Open", {}}}));
    checkFailureReported(QStringLiteral("ICC_Reader_Open=%1").arg(result));
}

void IdCardReadTest::failedBaseMessageRead_data()
{
    QTest::addColumn<int>("result");
    QTest::newRow("1") << 1;
    QTest::newRow("-1") << -1;
    QTest::newRow("INT_MAX") << INT_MAX;
}

void IdCardReadTest::failedBaseMessageRead()
{
    QFETCH(int, result);
    script().readBaseMsg = result;
    MessageCapture capture;
    click("btn_reread");
    QCOMPARE(recordedCalls(), successfulCalls);
    checkFailureReported(QStringLiteral("ICC_ReadBaseMsgData=%1").arg(result));
}

void IdCardReadTest::overrunFailsTheRead_data()
{
    QTest::addColumn<QString>("function");
    QTest::addColumn<int>("bytes");
    QTest::newRow("SAM ID") << "ICC_GetSAMIDToStr" << 1;
    QTest::newRow("power-on reply") << "ICC_Reader_PowerOn" << 4096;
    QTest::newRow("record") << "ICC_ReadBaseMsgData" << 4272;
}

// A call that writes past its buffer's end fails the read as a failed base message read does,
// its result in the message, and the library is called no more.
void IdCardReadTest::overrunFailsTheRead()
{
    QFETCH(QString, function);
    QFETCH(int, bytes);
    script().record = sampleRecord().bytes;
    script().overrunIn = function.toStdString();
    script().overrunBytes = bytes;
    MessageCapture capture;
    click("btn_reread");
    QCOMPARE(recordedCalls().last().first, function);
    checkFailureReported(function + "=0");
}

void IdCardReadTest::ignoredResultsDoNotStopTheRead()
{
    script().samId = -1;
    script().powerOff = -1;
    script().powerOn = -1;
    script().authenticate = -1;
    script().close = -1;
    script().samIdBytes = std::string(100, 'S');
    script().powerOnBytes = std::string(512, 'P');
    click("btn_reread");
    QCOMPARE(recordedCalls(), successfulCalls);
    QCOMPARE(labelText("label_name"), QString::fromUtf8("王小明"));
    QCOMPARE(page(), 0);
}

void IdCardReadTest::radioButtonsDoNotChangeTheCalls()
{
    for (const char *option : {"rbtn_no_auth", "rbtn_readfp", "rbtn_auth"}) {
        fakedriver::calls().clear();
        child<QAbstractButton>(option)->click();
        click("btn_reread");
        QCOMPARE(recordedCalls(), successfulCalls);
    }
}

void IdCardReadTest::fillsTheCardFields()
{
    click("btn_reread");
    QCOMPARE(cardFields(), (QStringList{"王小明", "男", "汉", "11010119900307123X", "1990", "03", "07",
                                        "北京市东城区示例路88号", "北京市公安局东城分局", "2020.01.01-2040.01.01",
                                        "", QString(2048, '0'), ""}));
    QCOMPARE(labelText("label_idcard_type"), QStringLiteral("居民身份证"));
    QCOMPARE(labelText("label_4"), QStringLiteral("出生"));
}

void IdCardReadTest::dateAndValidityPieces_data()
{
    QTest::addColumn<QByteArray>("birth");
    QTest::addColumn<QByteArray>("from");
    QTest::addColumn<QByteArray>("to");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("empty date, empty validity") << QByteArray() << QByteArray() << QByteArray() << QStringList{"", "", "", "-"};
    QTest::newRow("year only, no end") << QByteArray("1990") << QByteArray("2020.01.01") << QByteArray() << QStringList{"1990", "", "", "2020.01.01-"};
    QTest::newRow("six characters") << QByteArray("199003") << QByteArray() << QByteArray("2040.01.01") << QStringList{"1990", "03", "", "-2040.01.01"};
    QTest::newRow("ten characters") << QByteArray("1990030799") << QByteArray("2020.01.01") << QByteArray("长期") << QStringList{"1990", "03", "07", "2020.01.01-长期"};
}

void IdCardReadTest::dateAndValidityPieces()
{
    QFETCH(QByteArray, birth);
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);
    QFETCH(QStringList, shown);
    using namespace RecordLayout;
    script().record = RecordBytes().put(Birth, birth).put(ValidFrom, from).put(ValidTo, to).bytes;
    click("btn_reread");
    QCOMPARE((QStringList{labelText("label_birth_year"), labelText("label_birth_month"), labelText("label_birth_day"), labelText("label_valid")}), shown);
}

// A card photo is shown at its own size, a larger one scaled into its box; anything that is
// not a loadable image shows none, and the rest of the read goes on.
void IdCardReadTest::photo_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QSize>("shownSize");
    QTest::newRow("png") << "png" << QSize(102, 126);
    QTest::newRow("bmp") << "bmp" << QSize(102, 126);
    QTest::newRow("large png, scaled into the box") << "large" << QSize(102, 76);
    QTest::newRow("relative path") << "relative" << QSize(102, 126);
    QTest::newRow("empty path") << "empty" << QSize();
    QTest::newRow("missing file") << "missing" << QSize();
    QTest::newRow("empty file") << "zero-length" << QSize();
    QTest::newRow("not an image") << "text" << QSize();
    QTest::newRow("truncated png") << "truncated" << QSize();
    QTest::newRow("directory") << "directory" << QSize();
    QTest::newRow("fifo, which would block") << "fifo" << QSize();
    QTest::newRow("claims 20000 x 20000") << "huge" << QSize();
    QTest::newRow("unterminated path") << "unterminated" << QSize();
}

void IdCardReadTest::photo()
{
    QFETCH(QString, kind);
    QFETCH(QSize, shownSize);
    QTemporaryDir dir;
    script().photoPath = kind == "unterminated" ? std::string(300, 'a') : photoFile(kind, dir).toStdString();

    click("btn_reread");

    QCOMPARE(shownPhoto().isNull(), shownSize.isEmpty());
    if (!shownSize.isEmpty()) {
        QCOMPARE(shownPhoto().size(), shownSize);
        QCOMPARE(shownPhoto().toImage().pixelColor(5, 5), QColor(0x6f, 0xa8, 0xdc));
    }
    QCOMPARE(labelText("label_name"), QString::fromUtf8("王小明"));
    QCOMPARE(page(), 0);
}

// A path that fills all 300 bytes without a terminator is the whole path, and no more: the
// record that the library writes next starts with bytes that are not a terminator either.
void IdCardReadTest::photoPathOfExactlyTheBufferSize()
{
    QTemporaryDir dir;
    QImage image(102, 126, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    QVERIFY(image.save(QDir(dir.path()).filePath("p.png")));
    QByteArray prefix = QFile::encodeName(dir.path()) + '/';
    if ((300 - prefix.size() - 5) % 2)
        prefix += '/';
    const QByteArray path = prefix + QByteArray("./").repeated((300 - prefix.size() - 5) / 2) + "p.png";
    QCOMPARE(path.size(), 300);
    script().photoPath = path.toStdString();
    script().record = "ZZZZ";
    click("btn_reread");
    QCOMPARE(shownPhoto().size(), QSize(102, 126));
}

// The library writes each card's photo to the same path; every read shows the file as it is now.
void IdCardReadTest::rewrittenPhotoShowsAnew()
{
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath("photo.bmp");
    script().photoPath = path.toStdString();
    for (const QColor &colour : {QColor(Qt::red), QColor(Qt::blue)}) {
        QImage image(102, 126, QImage::Format_RGB32);
        image.fill(colour);
        QVERIFY(image.save(path));
        click("btn_reread");
        QCOMPARE(shownPhoto().toImage().pixelColor(0, 0), colour);
    }
}

void IdCardReadTest::fingerprint_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("start");
    QTest::newRow("all zeros") << QByteArray(1024, '\0') << QString(2048, '0');
    QTest::newRow("0x0f 0xa0") << QByteArray("\x0f\xa0", 2) << QStringLiteral("0fa0");
    QTest::newRow("all 0xff") << QByteArray(1024, '\xff') << QString(2048, 'f');
}

void IdCardReadTest::fingerprint()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, start);
    RecordBytes record = sampleRecord();
    record.put(RecordLayout::Fingerprint, bytes);
    record.bytes[RecordLayout::Fingerprint.offset + 1024] = 'Z'; // the byte after the data is not read
    script().record = record.bytes;
    click("btn_reread");
    QCOMPARE(shownFingerprint().size(), 2048);
    QVERIFY(shownFingerprint().startsWith(start));
    QVERIFY(shownFingerprint().endsWith(bytes.size() == 1024 ? start.right(4) : QStringLiteral("00")));
    QCOMPARE(page(), 0); // the fingerprint page is not brought forward
}

// From each page: where the read leaves the stack, and where back then returns.
void IdCardReadTest::pageSwitch_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("backTo");
    QTest::newRow("from read tip") << "" << 1;
    QTest::newRow("from fingerprint page") << "btn_fp" << 2;
    QTest::newRow("from card page keeps saved page") << "btn_reread btn_fp btn_back" << 0;
}

void IdCardReadTest::pageSwitch()
{
    QFETCH(QString, before);
    QFETCH(int, backTo);
    for (const QString &button : before.split(' ')) {
        if (!button.isEmpty())
            click(button.toLatin1());
    }
    click("btn_reread");
    QCOMPARE(page(), 0);
    click("btn_back");
    QCOMPARE(page(), backTo);
}

void IdCardReadTest::failedReadAfterSuccessfulOneEmptiesEverything()
{
    QTemporaryDir dir;
    QImage image(102, 126, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QVERIFY(image.save(QDir(dir.path()).filePath("photo.png")));
    script().photoPath = QDir(dir.path()).filePath("photo.png").toStdString();
    click("btn_reread");
    QVERIFY(!shownPhoto().isNull());
    for (int failing : {0, 1}) {
        script().open = failing ? 1 : 0;
        script().readBaseMsg = failing;
        click("btn_reread");
        QCOMPARE(cardFields(), emptyFields());
        QCOMPARE(page(), 0);
        script() = fakedriver::Script();
        script().record = sampleRecord().bytes;
        click("btn_reread");
    }
}

void IdCardReadTest::clearsSocialSecurityText()
{
    script().socialText = "社会保障卡";
    click("pushButton");
    QCOMPARE(labelText("label_shebao"), QString::fromUtf8("社会保障卡"));
    click("btn_reread");
    QCOMPARE(labelText("label_shebao"), QString());
}

QTEST_MAIN(IdCardReadTest)
#include "tst_idcardread.moc"
