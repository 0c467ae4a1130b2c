// The window's behaviour: page navigation, clearing the card fields, placement and closing.

#include "fakedriver.h"
#include "fontdpi.h"
#include "idcardshow.h"
#include "labelpixmap.h"
#include "placement.h"

#include <QScreen>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QWindow>
#include <QtTest>
#include <memory>

class WindowTest : public QObject
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
        fakedriver::reset();
        window.reset(new IDCardShow);
    }
    void cleanup() { window.reset(); }

    void navigation_data();
    void navigation();
    void clearmsgEmptiesExactlyTheCardFields();
    void centredTopLeft_data();
    void centredTopLeft();
    void centredOnOffscreenDesktop();
    void closeEndsEventLoop_data();
    void closeEndsEventLoop();

private:
    template<typename T = QWidget>
    T *child(const char *name) const { return window->findChild<T *>(QLatin1String(name)); }

    int currentPage() const { return child<QStackedWidget>("stackedWidget")->currentIndex(); }

    std::unique_ptr<IDCardShow> window;
};

// Each step is a click: F fingerprint, B back, R a successful read, X a failed read
// (social security reads, through the fake driver). Listed: the page after each step.
void WindowTest::navigation_data()
{
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QList<int>>("pages");
    QTest::newRow("start on read tip") << "" << QList<int>{};
    QTest::newRow("back at start stays") << "B" << QList<int>{1};
    QTest::newRow("fingerprint and back") << "FB" << QList<int>{2, 1};
    QTest::newRow("second fingerprint keeps saved page") << "FFB" << QList<int>{2, 2, 1};
    QTest::newRow("read from fingerprint page, back") << "FRB" << QList<int>{2, 0, 2};
    QTest::newRow("two reads from read tip") << "RRB" << QList<int>{0, 0, 1};
    QTest::newRow("read, fingerprint, back twice") << "RFBB" << QList<int>{0, 2, 0, 0};
    QTest::newRow("failed read keeps page") << "XFXB" << QList<int>{1, 2, 2, 1};
    QTest::newRow("failed read on card page") << "RX" << QList<int>{0, 0};
}

void WindowTest::navigation()
{
    QFETCH(QString, steps);
    QFETCH(QList<int>, pages);
    QCOMPARE(currentPage(), 1);
    QList<int> seen;
    for (QChar step : steps) {
        fakedriver::script().social = step == 'X' ? 1 : 0;
        const char *button = step == 'F' ? "btn_fp" : step == 'B' ? "btn_back" : "pushButton";
        child<QPushButton>(button)->click();
        seen << currentPage();
    }
    QCOMPARE(seen, pages);
}

void WindowTest::clearmsgEmptiesExactlyTheCardFields()
{
    const QStringList cardLabels = {"label_name", "label_sex", "label_nation", "label_idcode", "label_birth_year",
                                    "label_birth_month", "label_birth_day", "label_address", "label_agency",
                                    "label_valid", "label_photo", "label_shebao"};
    QPixmap photo(10, 10);
    photo.fill(Qt::red);
    child<QLabel>("label_photo")->setPixmap(photo);
    child<QPlainTextEdit>("plainTextEdit_fp")->setPlainText("0fa0");
    child<QRadioButton>("rbtn_readfp")->setChecked(true);
    QMap<QString, QString> before;
    for (QLabel *label : window->findChildren<QLabel *>())
        before[label->objectName()] = label->text();

    window->clearmsg();

    for (QLabel *label : window->findChildren<QLabel *>()) {
        const QString name = label->objectName();
        QCOMPARE(label->text(), cardLabels.contains(name) ? QString() : before[name]);
    }
    QVERIFY(labelPixmap(child<QLabel>("label_photo")).isNull());
    QVERIFY(child<QPlainTextEdit>("plainTextEdit_fp")->toPlainText().isEmpty());
    QCOMPARE(child<QLabel>("label_idcard_type")->text(), QStringLiteral("居民身份证"));
    QVERIFY(child<QRadioButton>("rbtn_auth")->isChecked());
    QVERIFY(child<QRadioButton>("rbtn_readfp")->isChecked());
    QCOMPARE(child<QPushButton>("btn_reread")->text(), QStringLiteral("读取身份证"));
    QCOMPARE(currentPage(), 1);
}

void WindowTest::centredTopLeft_data()
{
    QTest::addColumn<QSize>("desktop");
    QTest::addColumn<QSize>("window");
    QTest::addColumn<QPoint>("topLeft");
    QTest::newRow("offscreen desktop") << QSize(800, 600) << QSize(513, 397) << QPoint(143, 101);
    QTest::newRow("xga screen") << QSize(1024, 768) << QSize(513, 397) << QPoint(255, 185);
    QTest::newRow("exact fit") << QSize(513, 397) << QSize(513, 397) << QPoint(0, 0);
    QTest::newRow("wider than desktop truncates toward zero") << QSize(400, 300) << QSize(513, 397) << QPoint(-56, -48);
    QTest::newRow("empty desktop") << QSize(0, 0) << QSize(513, 397) << QPoint(-256, -198);
}

void WindowTest::centredTopLeft()
{
    QFETCH(QSize, desktop);
    QFETCH(QSize, window);
    QFETCH(QPoint, topLeft);
    QCOMPARE(::centredTopLeft(desktop, window), topLeft);
}

// A window not yet shown is centred at the size it shows with: at larger fonts
// (tst_window_144dpi) its layout makes it larger than the form.
void WindowTest::centredOnOffscreenDesktop()
{
    IDCardShow fresh;
    centreOnDesktop(fresh);
    fresh.show();
    QVERIFY(QTest::qWaitForWindowExposed(&fresh));
    QCOMPARE(QRect(fresh.pos(), fresh.size()).center(), QGuiApplication::primaryScreen()->geometry().center());
}

// A click on the close button, or a close from the window system as a title bar's close
// control sends it, each end the running event loop with 0.
void WindowTest::closeEndsEventLoop_data()
{
    QTest::addColumn<bool>("fromWindowSystem");
    QTest::newRow("close button") << false;
    QTest::newRow("title bar close") << true;
}

void WindowTest::closeEndsEventLoop()
{
    QFETCH(bool, fromWindowSystem);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QTimer::singleShot(0, this, [&] {
        if (fromWindowSystem)
            QCoreApplication::postEvent(window->windowHandle(), new QCloseEvent);
        else
            QTest::mouseClick(child<QPushButton>("btn_close"), Qt::LeftButton);
    });
    QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(99); });
    QCOMPARE(QCoreApplication::exec(), 0);
    QVERIFY(!window->isVisible());
}

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
