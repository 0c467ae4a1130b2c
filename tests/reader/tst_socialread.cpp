// The social security card read, driven by a click on pushButton through the fake driver.

#include "linkeddriver.h"
#include "readerfixture.h"

using fakedriver::calls;
using fakedriver::script;

class SocialReadTest : public QObject, public ReaderFixture
{
    Q_OBJECT

private slots:
    void init() { startWindow(); }

    void successfulRead();
    void failure_data();
    void failure();
    void text_data();
    void text();
    void clearsAnEarlierIdCardRead();
};

void SocialReadTest::successfulRead()
{
    script().socialText = std::string("社会保障卡|110101199003071234|王小明") + '\0';
    MessageCapture capture;
    click("pushButton");
    QCOMPARE(int(calls().size()), 1);
    QCOMPARE(calls()[0].function, std::string("iReadCardBas_noPasam"));
    QCOMPARE(calls()[0].args, (std::vector<int64_t>{1, 100}));
    QVERIFY(calls()[0].buffersZeroed);
    QCOMPARE(labelText("label_shebao"), QString::fromUtf8("社会保障卡|110101199003071234|王小明"));
    QCOMPARE(page(), 0);
    click("btn_back");
    QCOMPARE(page(), 1);
    QVERIFY(MessageCapture::messages().empty());
}

// Any non-zero 64-bit result fails silently, also one whose lower 32 bits are zero, and so
// does a 0 from a call that wrote past the buffer's end.
void SocialReadTest::failure_data()
{
    QTest::addColumn<qint64>("result");
    QTest::addColumn<int>("overrun");
    QTest::newRow("1") << qint64(1) << 0;
    QTest::newRow("-1") << qint64(-1) << 0;
    QTest::newRow("sign bit only") << std::numeric_limits<qint64>::min() << 0;
    QTest::newRow("0x100000000") << (qint64(1) << 32) << 0;
    QTest::newRow("0, with 1,100 bytes written") << qint64(0) << 75;
    QTest::newRow("-1, with 1,100 bytes written") << qint64(-1) << 75;
}

void SocialReadTest::failure()
{
    QFETCH(qint64, result);
    QFETCH(int, overrun);
    script().social = result;
    script().overrunIn = "iReadCardBas_noPasam";
    script().overrunBytes = overrun;
    script().socialText = "should not show";
    MessageCapture capture;
    click("pushButton");
    QCOMPARE(cardFields(), emptyFields());
    QCOMPARE(page(), 1);
    QVERIFY(MessageCapture::messages().empty());
    // The read records the overrun whatever the call returned.
    QCOMPARE(readSocialCard(linkedDriver(), [](DriverCall, int64_t) {}).overrun.happened(), overrun > 0);
}

void SocialReadTest::text_data()
{
    QTest::addColumn<QByteArray>("written");
    QTest::addColumn<QString>("shown");
    QTest::newRow("empty text still succeeds") << QByteArray() << QString();
    QTest::newRow("text ends at first NUL") << QByteArray("abc\0def", 7) << "abc";
    QTest::newRow("exactly 1024 bytes") << QByteArray(1024, 'a') << QString(1024, 'a');
    QTest::newRow("1025 bytes without NUL") << QByteArray(1025, 'b') << QString(1024, 'b');
    QTest::newRow("utf-8") << QByteArray("社保卡") << QString::fromUtf8("社保卡");
    QTest::newRow("invalid utf-8") << QByteArray("x\xc3(") << QString("x") + QChar(QChar::ReplacementCharacter) + "(";
}

void SocialReadTest::text()
{
    QFETCH(QByteArray, written);
    QFETCH(QString, shown);
    script().socialText = written.toStdString();
    click("pushButton");
    QCOMPARE(labelText("label_shebao"), shown);
    QCOMPARE(page(), 0);
}

void SocialReadTest::clearsAnEarlierIdCardRead()
{
    script().record = sampleRecord().bytes;
    script().socialText = "社会保障卡";
    click("btn_fp");
    click("btn_reread");
    QCOMPARE(labelText("label_name"), QString::fromUtf8("王小明"));
    click("pushButton");
    QStringList expected = emptyFields();
    expected[10] = QString::fromUtf8("社会保障卡");
    QCOMPARE(cardFields(), expected);
    QCOMPARE(page(), 0);
    click("btn_back");
    QCOMPARE(page(), 2);
    QVERIFY(shownFingerprint().isEmpty());
    script().social = 1;
    click("pushButton");
    QCOMPARE(cardFields(), emptyFields());
    QCOMPARE(page(), 2);
}

QTEST_MAIN(SocialReadTest)
#include "tst_socialread.moc"
