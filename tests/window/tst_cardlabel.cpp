// Card text in the window: shown as plain text whatever it holds, whole where a real card's
// value needs it, and never making the window larger than the screen, whichever read fills it.

#include "cardlabel.h"
#include "fontdpi.h"
#include "placement.h"
#include "reader/readerfixture.h"

#include <QDir>
#include <QScreen>
#include <QTemporaryDir>
#include <sys/stat.h>

using fakedriver::script;

class CardLabelTest : public QObject, public ReaderFixture
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!fontDpiApplies())
            QSKIP(FontDpiIgnored);
    }
    void init()
    {
        startWindow();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }

    void hostileText_data();
    void hostileText();
    void readsSqueezeNoRow_data();
    void readsSqueezeNoRow();
    void wholeValues_data();
    void wholeValues();
    void everyValueShowsControlsAsSymbols();
    void paintsWhatFits_data();
    void paintsWhatFits();
    void wrappedHeightIsBounded_data();
    void wrappedHeightIsBounded();
};

namespace {

// What a read is handed, and the label that shows it.
struct HostileCase {
    const char *name;
    QByteArray record;
    QByteArray social;
    const char *label;
    QString shown;
};

QByteArray socialOf(const QByteArray &text) { return text + '\0'; }

QByteArray recordOf(const RecordBytes &record) { return QByteArray::fromStdString(record.bytes); }

}

void CardLabelTest::hostileText_data()
{
    static QTemporaryDir dir;
    const QByteArray fifo = QFile::encodeName(QDir(dir.path()).filePath("fifo"));
    mkfifo(fifo.constData(), 0600);
    const QByteArray fifoImage = "<img src=" + fifo + ">";
    using namespace RecordLayout;
    const QString replaced(1, QChar::ReplacementCharacter);
    const HostileCase cases[] = {
        {"heading markup in the name", recordOf(RecordBytes().put(Name, "<h1>FAKE NAME</h1>")), {}, "label_name",
         "<h1>FAKE NAME</h1>"},
        {"image of a fifo in the validity", recordOf(RecordBytes().put(ValidTo, fifoImage)), {}, "label_valid",
         "-" + QString::fromUtf8(fifoImage)},
        {"3920 bytes of 0xff", QByteArray(BaseMessageRecordSize, '\xff'), {}, "label_valid",
         replaced.repeated(12) + "-" + replaced.repeated(ValidTo.room)},
        {"line breaks in the address", recordOf(RecordBytes().put(Address, QByteArray(71, '\n'))), {}, "label_address",
         QString(71, QChar(0x240a))},
        {"escape, delete, a C1 control and a line separator", recordOf(RecordBytes().put(Agency, "\x1b[2J\x7f\xc2\x85\xe2\x80\xa8")),
         {}, "label_agency", QString::fromUtf8("\xe2\x90\x9b[2J\xe2\x90\xa1") + replaced + replaced},
        {"bidirectional override, isolate and marks in the citizen number",
         recordOf(RecordBytes().put(IdCode, "\xe2\x80\xae" "110105\xe2\x81\xa6X\xe2\x80\x8f\xd8\x9c")), {}, "label_idcode",
         replaced + "110105" + replaced + "X" + replaced + replaced},
        {"zero-width space, byte order mark and a tag in the name",
         recordOf(RecordBytes().put(Name, "王\xe2\x80\x8b小\xef\xbb\xbf明\xf3\xa0\x81\x81")), {}, "label_name",
         QString::fromUtf8("王") + replaced + QString::fromUtf8("小") + replaced + QString::fromUtf8("明") + replaced},
        {"right-to-left letters and digits, one beyond 16 bits, in the address",
         recordOf(RecordBytes().put(Address, "\xd8\xa7" "1990\xd7\x90\xd9\xa1\xf0\x90\xa4\x80X")), {}, "label_address",
         replaced + "1990" + replaced + replaced + replaced + "X"},
        {"markup in the social security text", {}, socialOf("<b>bold</b><img src=" + fifo + ">"), "label_shebao",
         "<b>bold</b><img src=" + QString::fromUtf8(fifo) + ">"},
        {"1024 bytes of 0xff as social security text", {}, socialOf(QByteArray(1024, '\xff')), "label_shebao",
         replaced.repeated(1024)},
        {"1024 wide bytes that wrap", {}, socialOf(QByteArray("@@@ ").repeated(256)), "label_shebao",
         QString("@@@ ").repeated(256)},
    };
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<QByteArray>("social");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("shown");
    for (const HostileCase &c : cases)
        QTest::newRow(c.name) << c.record << c.social << QString(c.label) << c.shown;
}

void CardLabelTest::hostileText()
{
    QFETCH(QByteArray, record);
    QFETCH(QByteArray, social);
    QFETCH(QString, label);
    QFETCH(QString, shown);
    centreOnDesktop(*window);
    script().record = record.toStdString();
    script().socialText = social.toStdString();
    click(record.isEmpty() ? "pushButton" : "btn_reread");
    QTest::qWait(50);
    auto *shownIn = child<QLabel>(label.toLatin1().constData());
    QCOMPARE(shownIn->textFormat(), Qt::PlainText);
    QCOMPARE(shownIn->text(), shown);
    QVERIFY(QGuiApplication::primaryScreen()->availableGeometry().contains(window->frameGeometry()));
}

void CardLabelTest::readsSqueezeNoRow_data()
{
    QTest::addColumn<QString>("reads");
    QTest::newRow("social security") << "S";
    QTest::newRow("ID card, then social security") << "IS";
    QTest::newRow("social security, then ID card") << "SI";
    QTest::newRow("both twice") << "ISIS";
}

// After each read (I the ID card, S a real card's social security line, which wraps), no label
// on the page is squeezed below its own height, unless the window already fills the screen's
// free area; the window keeps its width and stays on the screen, and repeating the last read
// leaves it as it is. Run at 96, 120 and 144 dpi too (tst_cardlabel_*dpi).
void CardLabelTest::readsSqueezeNoRow()
{
    QFETCH(QString, reads);
    script().record = sampleRecord().bytes;
    script().socialText = socialOf("441900|D75628942|440101199003071234|王小明|8F3A9C2E41D07B56E9A1C3F5D7B9E1A3|"
                                   "20190315|20290315|3|445300|中国银行|6217856200012345678|1|00").toStdString();
    centreOnDesktop(*window);
    const int widthBefore = window->width();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    for (const QChar read : reads) {
        click(read == 'I' ? "btn_reread" : "pushButton");
        QTest::qWait(50);
        QStringList squeezed;
        for (const QLabel *label : child<QWidget>("page")->findChildren<QLabel *>()) {
            const int own = label->wordWrap() ? label->heightForWidth(label->width()) : label->minimumSizeHint().height();
            if (label->height() < own)
                squeezed << label->objectName();
        }
        QVERIFY2(squeezed.isEmpty() || window->frameGeometry().height() == screen.height(), qPrintable(squeezed.join(' ')));
        QCOMPARE(window->width(), widthBefore);
        QVERIFY(screen.contains(window->frameGeometry()));
    }
    const QRect grown = window->geometry();
    click(reads.endsWith('I') ? "btn_reread" : "pushButton");
    QTest::qWait(50);
    QCOMPARE(window->geometry(), grown);
}

namespace {

// The value labels on the card page whose text does not show whole: on one line cut as the
// label's painting cuts it, wrapped taller than the label.
QStringList cutValues(const QWidget &page)
{
    QStringList cut;
    for (const QLabel *label : page.findChildren<QLabel *>()) {
        if (!dynamic_cast<const CardLabel *>(label))
            continue;
        const int room = label->contentsRect().width() - 2 * label->margin();
        const bool whole = label->wordWrap() ? label->QLabel::heightForWidth(label->width()) <= label->height()
                                             : label->fontMetrics().elidedText(label->text(), Qt::ElideRight, room) == label->text();
        if (!whole)
            cut << label->objectName();
    }
    return cut;
}

// Captions narrower or lower than their own text.
QStringList squeezedCaptions(const QWidget &page)
{
    QStringList squeezed;
    for (const QLabel *label : page.findChildren<QLabel *>()) {
        const QSize own = label->minimumSizeHint();
        if (!dynamic_cast<const CardLabel *>(label) && (label->width() < own.width() || label->height() < own.height()))
            squeezed << label->objectName();
    }
    return squeezed;
}

}

void CardLabelTest::wholeValues_data()
{
    using namespace RecordLayout;
    const RecordBytes longest = RecordBytes()
        .put(Name, "阿依古丽·买买提艾力").put(Sex, "女").put(Nation, "柯尔克孜").put(Birth, "19900307")
        .put(Address, "新疆维吾尔自治区伊犁哈萨克自治州伊宁市解放西路").put(IdCode, "65400219900307123X")
        .put(Agency, "伊犁州公安局伊宁分局").put(ValidFrom, "20150817");
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<bool>("real");
    QTest::newRow("longest real values, dated") << recordOf(RecordBytes(longest).put(ValidTo, "20350817")) << true;
    QTest::newRow("longest real values, 长期") << recordOf(RecordBytes(longest).put(ValidTo, "长期")) << true;
    // Digits and Latin letters advance by fractions of a pixel.
    for (const char *address : {"宁夏回族自治区银川市兴庆区解放东街1号院1-1-1", "西藏自治区拉萨市城关区北京中路A座B-12室",
                                "内蒙古自治区呼和浩特市赛罕区12栋3单元401"})
        QTest::newRow(address) << recordOf(RecordBytes(longest).put(Address, address).put(ValidTo, "20350817")) << true;
    QTest::newRow("every field full of wide letters")
        << recordOf(RecordBytes().put(Name, QByteArray(31, 'W')).put(Nation, QByteArray(19, 'W'))
                        .put(Address, QByteArray(71, 'W')).put(IdCode, QByteArray(19, 'W'))
                        .put(Agency, QByteArray(31, 'W')).put(ValidTo, QByteArray(ValidTo.room - 1, 'W')))
        << false;
}

// After the ID card read and then a real social security read, a real card's every value
// shows whole; whatever the card holds, the window stays within the screen's free area, moving
// back into it as it grows, no caption is squeezed, and nothing is logged. Run at 96, 120 and 144 dpi (tst_cardlabel_*dpi).
void CardLabelTest::wholeValues()
{
    QFETCH(QByteArray, record);
    QFETCH(bool, real);
    MessageCapture messages;
    script().record = record.toStdString();
    script().socialText = socialOf("441900|D75628942|440101199003071234|王小明|8F3A9C2E41D07B56E9A1C3F5D7B9E1A3|"
                                   "20190315|20290315|3|445300|中国银行|6217856200012345678|1|00").toStdString();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    // In the free area's bottom right corner, where growing would take it off the screen.
    window->move(screen.bottomRight() - QPoint(window->frameGeometry().width(), window->frameGeometry().height()) + QPoint(1, 1));
    QVERIFY(screen.contains(window->frameGeometry()));
    for (const bool idCard : {true, false}) {
        click(idCard ? "btn_reread" : "pushButton");
        QTest::qWait(50);
        const QWidget &page = *child<QWidget>("page");
        // The social security read leaves the ID card's values empty.
        QVERIFY2(cutValues(page).isEmpty() == (real || !idCard), qPrintable(cutValues(page).join(' ')));
        QVERIFY2(squeezedCaptions(page).isEmpty(), qPrintable(squeezedCaptions(page).join(' ')));
        QVERIFY(screen.contains(window->frameGeometry()));
    }
    QVERIFY(MessageCapture::messages().empty());
}

// Every value of both reads reaches its label as visibleCardText: an escape in every field
// shows as its symbol.
void CardLabelTest::everyValueShowsControlsAsSymbols()
{
    using namespace RecordLayout;
    RecordBytes record;
    for (const RecordField field : {Name, Sex, Nation, Birth, Address, IdCode, Agency, ValidFrom, ValidTo})
        record.put(field, QByteArray(8, '\x1b'));
    script().record = record.bytes;
    script().socialText = socialOf("\x1b").toStdString();
    QStringList raw;
    for (const char *button : {"btn_reread", "pushButton"}) {
        click(button);
        QTest::qWait(50);
        for (const QLabel *label : child<QWidget>("page")->findChildren<QLabel *>()) {
            if (label->text().contains('\x1b'))
                raw << label->objectName();
        }
    }
    QVERIFY2(raw.isEmpty(), qPrintable(raw.join(' ')));
}

namespace {

// 1024 characters of words that differ, so that any two lines of it draw differently.
QString numberedWords()
{
    QString words;
    for (int word = 0; word < 256; ++word)
        words += QString("%1 ").arg(word, 3, 10, QChar('0'));
    return words;
}

}

void CardLabelTest::paintsWhatFits_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("wrapped");
    QTest::newRow("fits its line") << QString::fromUtf8("王小明") << false;
    QTest::newRow("too long for its line") << numberedWords() << false;
    QTest::newRow("wrapped, fits") << "000 001 002" << true;
    QTest::newRow("wrapped, taller than its bound") << numberedWords() << true;
}

// A card label paints as a plain label showing what should show: on one line the text cut
// with an ellipsis at the label's edge, wrapped the lines from the text's start.
void CardLabelTest::paintsWhatFits()
{
    QFETCH(QString, text);
    QFETCH(bool, wrapped);
    CardLabel label(text);
    label.setWordWrap(wrapped);
    label.resize(200, wrapped ? label.heightForWidth(200) : label.sizeHint().height());
    QLabel plain(wrapped ? text : label.fontMetrics().elidedText(text, Qt::ElideRight, label.width()));
    plain.setWordWrap(wrapped);
    plain.setAlignment(wrapped ? Qt::AlignLeft | Qt::AlignTop : label.alignment());
    plain.resize(label.size());
    QVERIFY(label.grab().toImage() == plain.grab().toImage());
}

void CardLabelTest::wrappedHeightIsBounded_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("width");
    for (const int width : {40, 200, 1000}) {
        QTest::newRow(qPrintable(QString("1024 wide bytes, %1 pixels").arg(width))) << QString("@@@ ").repeated(256) << width;
        QTest::newRow(qPrintable(QString("1024 line breaks, %1 pixels").arg(width))) << QString(1024, '\n') << width;
    }
}

// However much text a wrapped label holds, it asks for no more than MaxWrappedLines lines.
void CardLabelTest::wrappedHeightIsBounded()
{
    QFETCH(QString, text);
    QFETCH(int, width);
    CardLabel label(text);
    label.setWordWrap(true);
    const int bound = CardLabel::MaxWrappedLines * label.fontMetrics().lineSpacing();
    QCOMPARE(label.heightForWidth(width), bound);
    QVERIFY(label.minimumSizeHint().height() <= bound);
}

QTEST_MAIN(CardLabelTest)
#include "tst_cardlabel.moc"
