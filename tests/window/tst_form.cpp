// The form as built: every object's name, class and parent, the items of each layout in
// order, spacer sizes, the properties the form sets, the texts, and the window's slots.

#include "idcardshow.h"
#include "labelpixmap.h"
#include "ui_idcardshow.h"

#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLayout>
#include <QMetaMethod>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QtTest>
#include <memory>

namespace {

struct ObjectRow {
    const char *name;
    const char *className;
    const char *parent;
};

// In creation order; the parent is the object's final parent once the tree is built.
const ObjectRow objectTable[] = {
    {"verticalLayout_7", "QVBoxLayout", "IDCardShow"},
    {"stackedWidget", "QStackedWidget", "IDCardShow"},
    {"page", "QWidget", "stackedWidget"},
    {"verticalLayout_8", "QVBoxLayout", "page"},
    {"frame", "QFrame", "page"},
    {"verticalLayout_3", "QVBoxLayout", "frame"},
    {"horizontalLayout_8", "QHBoxLayout", "verticalLayout_3"},
    {"verticalLayout_2", "QVBoxLayout", "horizontalLayout_8"},
    {"horizontalLayout", "QHBoxLayout", "verticalLayout_2"},
    {"label", "QLabel", "frame"},
    {"label_name", "QLabel", "frame"},
    {"horizontalLayout_7", "QHBoxLayout", "verticalLayout_2"},
    {"horizontalLayout_3", "QHBoxLayout", "horizontalLayout_7"},
    {"label_3", "QLabel", "frame"},
    {"label_sex", "QLabel", "frame"},
    {"horizontalLayout_2", "QHBoxLayout", "horizontalLayout_7"},
    {"label_2", "QLabel", "frame"},
    {"label_nation", "QLabel", "frame"},
    {"horizontalLayout_4", "QHBoxLayout", "verticalLayout_2"},
    {"label_4", "QLabel", "frame"},
    {"label_birth_year", "QLabel", "frame"},
    {"label_5", "QLabel", "frame"},
    {"label_birth_month", "QLabel", "frame"},
    {"label_6", "QLabel", "frame"},
    {"label_birth_day", "QLabel", "frame"},
    {"label_7", "QLabel", "frame"},
    {"horizontalLayout_5", "QHBoxLayout", "verticalLayout_2"},
    {"label_8", "QLabel", "frame"},
    {"label_address", "QLabel", "frame"},
    {"horizontalLayout_6", "QHBoxLayout", "verticalLayout_2"},
    {"label_9", "QLabel", "frame"},
    {"label_idcode", "QLabel", "frame"},
    {"verticalLayout", "QVBoxLayout", "horizontalLayout_8"},
    {"label_photo", "QLabel", "frame"},
    {"frame_2", "QFrame", "page"},
    {"verticalLayout_4", "QVBoxLayout", "frame_2"},
    {"gridLayout", "QGridLayout", "verticalLayout_4"},
    {"label_21", "QLabel", "frame_2"},
    {"label_19", "QLabel", "frame_2"},
    {"label_agency", "QLabel", "frame_2"},
    {"label_valid", "QLabel", "frame_2"},
    {"label_24", "QLabel", "frame_2"},
    {"label_idcard_type", "QLabel", "frame_2"},
    {"frame_3", "QFrame", "page"},
    {"verticalLayout_13", "QVBoxLayout", "frame_3"},
    {"label_shebao", "QLabel", "frame_3"},
    {"page_2", "QWidget", "stackedWidget"},
    {"verticalLayout_6", "QVBoxLayout", "page_2"},
    {"label_readtip", "QLabel", "page_2"},
    {"page_3", "QWidget", "stackedWidget"},
    {"verticalLayout_9", "QVBoxLayout", "page_3"},
    {"frame_fp", "QFrame", "page_3"},
    {"verticalLayout_5", "QVBoxLayout", "frame_fp"},
    {"label_10", "QLabel", "frame_fp"},
    {"plainTextEdit_fp", "QPlainTextEdit", "frame_fp"},
    {"page_4", "QWidget", "stackedWidget"},
    {"verticalLayout_10", "QVBoxLayout", "page_4"},
    {"rbtn_auth", "QRadioButton", "page_4"},
    {"rbtn_no_auth", "QRadioButton", "page_4"},
    {"rbtn_readfp", "QRadioButton", "page_4"},
    {"horizontalLayout_9", "QHBoxLayout", "verticalLayout_7"},
    {"btn_reread", "QPushButton", "IDCardShow"},
    {"btn_fp", "QPushButton", "IDCardShow"},
    {"pushButton", "QPushButton", "IDCardShow"},
    {"btn_back", "QPushButton", "IDCardShow"},
    {"btn_close", "QPushButton", "IDCardShow"},
};

// Items of each box layout in order; "~HxV" is a spacer of that size hint.
const std::pair<const char *, QStringList> layoutTable[] = {
    {"verticalLayout_7", {"stackedWidget", "horizontalLayout_9"}},
    {"verticalLayout_8", {"frame", "frame_2", "frame_3"}},
    {"verticalLayout_3", {"horizontalLayout_8"}},
    {"horizontalLayout_8", {"verticalLayout_2", "verticalLayout"}},
    {"verticalLayout_2", {"horizontalLayout", "horizontalLayout_7", "horizontalLayout_4", "horizontalLayout_5", "horizontalLayout_6"}},
    {"horizontalLayout", {"label", "label_name", "~40x20"}},
    {"horizontalLayout_7", {"horizontalLayout_3", "horizontalLayout_2", "~40x20"}},
    {"horizontalLayout_3", {"label_3", "label_sex"}},
    {"horizontalLayout_2", {"label_2", "label_nation"}},
    {"horizontalLayout_4", {"label_4", "label_birth_year", "label_5", "label_birth_month", "label_6", "label_birth_day", "label_7", "~40x20"}},
    {"horizontalLayout_5", {"label_8", "label_address", "~40x20"}},
    {"horizontalLayout_6", {"label_9", "label_idcode", "~40x20"}},
    {"verticalLayout", {"~20x40", "label_photo", "~20x40"}},
    {"verticalLayout_4", {"gridLayout"}},
    {"verticalLayout_13", {"label_shebao"}},
    {"verticalLayout_6", {"label_readtip"}},
    {"verticalLayout_9", {"frame_fp"}},
    {"verticalLayout_5", {"label_10", "plainTextEdit_fp"}},
    {"verticalLayout_10", {"rbtn_auth", "rbtn_no_auth", "rbtn_readfp", "~20x169"}},
    {"horizontalLayout_9", {"btn_reread", "btn_fp", "pushButton", "btn_back", "btn_close"}},
};

QString describeItem(QLayoutItem *item)
{
    if (QSpacerItem *spacer = item->spacerItem())
        return QStringLiteral("~%1x%2").arg(spacer->sizeHint().width()).arg(spacer->sizeHint().height());
    if (item->widget())
        return item->widget()->objectName();
    return item->layout()->objectName();
}

QString nameOf(const QObject *object)
{
    return object ? object->objectName() : QStringLiteral("(none)");
}

}

class FormTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { window.reset(new IDCardShow); }
    void cleanup() { window.reset(); }

    void everyNameOnceWithClassAndParent_data();
    void everyNameOnceWithClassAndParent();
    void namedChildrenInCreationOrder();
    void layoutItemsInOrder_data();
    void layoutItemsInOrder();
    void spacerPolicies();
    void gridPlacesSixLabels();
    void pagesInIndexOrder();
    void propertiesSetByForm();
    void onlyReadTipHasOwnFont();
    void radioButtonExclusion();
    void presetObjectNameIsKept();
    void texts_data();
    void texts();
    void startContent();
    void slotsInOrder();

private:
    template<typename T = QObject>
    T *child(const char *name) const
    {
        T *found = window->findChild<T *>(QLatin1String(name));
        if (!found)
            qFatal("no child %s", name);
        return found;
    }

    std::unique_ptr<IDCardShow> window;
};

void FormTest::everyNameOnceWithClassAndParent_data()
{
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("parent");
    for (const ObjectRow &row : objectTable)
        QTest::newRow(row.name) << row.className << row.parent;
}

void FormTest::everyNameOnceWithClassAndParent()
{
    QFETCH(QString, className);
    QFETCH(QString, parent);
    const QString name = QString::fromLatin1(QTest::currentDataTag());
    QList<QObject *> matches;
    for (QObject *object : window->findChildren<QObject *>())
        if (object->objectName() == name)
            matches << object;
    QCOMPARE(matches.size(), 1);
    QCOMPARE(QString::fromLatin1(matches[0]->metaObject()->className()), className);
    QCOMPARE(nameOf(matches[0]->parent()), parent);
    QCOMPARE(window->objectName(), QStringLiteral("IDCardShow"));
}

// Children join their parent in creation order (nested layouts when they are appended),
// so each parent's named children must follow the table. The stack raises the page it
// shows, which reorders its children; its page order is checked by index instead.
void FormTest::namedChildrenInCreationOrder()
{
    QCOMPARE(int(std::size(objectTable)), 66);
    QMap<QString, QStringList> expected;
    for (const ObjectRow &row : objectTable)
        if (qstrcmp(row.parent, "stackedWidget") != 0)
            expected[row.parent] << row.name;
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        QObject *parent = it.key() == "IDCardShow" ? window.get() : child(it.key().toLatin1());
        QStringList actual;
        for (QObject *object : parent->children())
            if (!object->objectName().isEmpty() && !object->objectName().startsWith("qt_"))
                actual << object->objectName();
        QCOMPARE(actual, it.value());
    }
}

void FormTest::layoutItemsInOrder_data()
{
    QTest::addColumn<QStringList>("items");
    for (const auto &[layout, items] : layoutTable)
        QTest::newRow(layout) << items;
}

void FormTest::layoutItemsInOrder()
{
    QFETCH(QStringList, items);
    QBoxLayout *layout = child<QBoxLayout>(QTest::currentDataTag());
    QStringList actual;
    for (int i = 0; i < layout->count(); ++i) {
        actual << describeItem(layout->itemAt(i));
        QCOMPARE(layout->stretch(i), 0);
        QCOMPARE(int(layout->itemAt(i)->alignment()), 0);
    }
    QCOMPARE(actual, items);
}

void FormTest::spacerPolicies()
{
    for (const auto &[layoutName, items] : layoutTable) {
        QLayout *layout = child<QLayout>(layoutName);
        for (int i = 0; i < layout->count(); ++i) {
            QSpacerItem *spacer = layout->itemAt(i)->spacerItem();
            if (!spacer)
                continue;
            const bool horizontal = layout->inherits("QHBoxLayout");
            const QSizePolicy policy = spacer->sizePolicy();
            QCOMPARE(policy.horizontalPolicy(), horizontal ? QSizePolicy::Expanding : QSizePolicy::Minimum);
            QCOMPARE(policy.verticalPolicy(), horizontal ? QSizePolicy::Minimum : QSizePolicy::Expanding);
            QCOMPARE(policy.controlType(), QSizePolicy::DefaultType);
        }
    }
}

void FormTest::gridPlacesSixLabels()
{
    QGridLayout *grid = child<QGridLayout>("gridLayout");
    const struct {
        const char *name;
        int row, column;
    } cells[] = {{"label_21", 2, 0}, {"label_19", 1, 0}, {"label_agency", 1, 1},
                 {"label_valid", 2, 1}, {"label_24", 0, 0}, {"label_idcard_type", 0, 1}};
    QCOMPARE(grid->count(), 6);
    for (int i = 0; i < 6; ++i) {
        int row, column, rowSpan, columnSpan;
        grid->getItemPosition(i, &row, &column, &rowSpan, &columnSpan);
        QCOMPARE(grid->itemAt(i)->widget()->objectName(), QString::fromLatin1(cells[i].name));
        QCOMPARE(QPoint(row, column), QPoint(cells[i].row, cells[i].column));
        QCOMPARE(QSize(rowSpan, columnSpan), QSize(1, 1));
        QCOMPARE(int(grid->itemAt(i)->alignment()), 0);
    }
    QCOMPARE(grid->columnStretch(0), 0);
    QCOMPARE(grid->columnStretch(1), 1);
}

void FormTest::pagesInIndexOrder()
{
    auto *stack = child<QStackedWidget>("stackedWidget");
    QCOMPARE(stack->count(), 4);
    const char *pages[] = {"page", "page_2", "page_3", "page_4"};
    for (int i = 0; i < 4; ++i)
        QCOMPARE(stack->widget(i)->objectName(), QString::fromLatin1(pages[i]));
}

void FormTest::propertiesSetByForm()
{
    QCOMPARE(window->size(), QSize(513, 397));
    QCOMPARE(window->styleSheet(), QStringLiteral("QWidget#IDCardShow{background-color: rgb(255, 255, 255);}"));
    for (const char *name : {"frame", "frame_2", "frame_3", "frame_fp"}) {
        QCOMPARE(child<QFrame>(name)->frameShape(), QFrame::StyledPanel);
        QCOMPARE(child<QFrame>(name)->frameShadow(), QFrame::Raised);
    }
    QCOMPARE(child<QBoxLayout>("horizontalLayout_7")->spacing(), 20);
    QCOMPARE(child<QBoxLayout>("horizontalLayout_3")->spacing(), 5);
    QCOMPARE(child<QBoxLayout>("horizontalLayout_2")->spacing(), 5);
    const QFont font = child<QLabel>("label_readtip")->font();
    QCOMPARE(font.pointSize(), 30);
    QCOMPARE(font.weight(), int(QFont::Bold));
    QCOMPARE(font.family(), QFont().family());
    QCOMPARE(child<QLabel>("label_readtip")->alignment(), Qt::Alignment(Qt::AlignCenter));
    QVERIFY(child<QRadioButton>("rbtn_auth")->isChecked());
    QVERIFY(!child<QRadioButton>("rbtn_no_auth")->isChecked());
    QVERIFY(!child<QRadioButton>("rbtn_readfp")->isChecked());
    QVERIFY(child<QRadioButton>("rbtn_auth")->autoExclusive());
    QVERIFY(child<QRadioButton>("rbtn_no_auth")->autoExclusive());
    QVERIFY(!child<QRadioButton>("rbtn_readfp")->autoExclusive());
    QVERIFY(!child<QPlainTextEdit>("plainTextEdit_fp")->isReadOnly());
    // Card text is never markup; only the social security line wraps.
    const QStringList cardText = {"label_name", "label_sex", "label_nation", "label_birth_year", "label_birth_month",
                                  "label_birth_day", "label_address", "label_idcode", "label_agency", "label_valid",
                                  "label_shebao"};
    for (QLabel *label : window->findChildren<QLabel *>()) {
        QCOMPARE(label->textFormat(), cardText.contains(label->objectName()) ? Qt::PlainText : Qt::AutoText);
        QCOMPARE(label->wordWrap(), label->objectName() == "label_shebao");
        QVERIFY(!label->hasScaledContents());
    }
}

void FormTest::onlyReadTipHasOwnFont()
{
    for (QWidget *widget : window->findChildren<QWidget *>())
        if (widget->objectName() != "label_readtip" && !widget->objectName().isEmpty())
            QVERIFY2(!widget->testAttribute(Qt::WA_SetFont), qPrintable(widget->objectName()));
}

void FormTest::radioButtonExclusion()
{
    auto *auth = child<QRadioButton>("rbtn_auth");
    auto *noAuth = child<QRadioButton>("rbtn_no_auth");
    auto *readFp = child<QRadioButton>("rbtn_readfp");
    noAuth->click();
    QVERIFY(noAuth->isChecked() && !auth->isChecked());
    readFp->click();
    QVERIFY(readFp->isChecked() && noAuth->isChecked());
    auth->click();
    QVERIFY(auth->isChecked() && !noAuth->isChecked() && readFp->isChecked());
    readFp->click();
    QVERIFY(!readFp->isChecked() && auth->isChecked());
}

// A preset name survives, and the form selects no page itself.
void FormTest::presetObjectNameIsKept()
{
    QWidget host;
    host.setObjectName("host");
    Ui_IDCardShow form;
    form.setupUi(&host);
    QCOMPARE(host.objectName(), QStringLiteral("host"));
    QCOMPARE(host.styleSheet(), window->styleSheet());
    QCOMPARE(form.stackedWidget->currentIndex(), 0);
}

void FormTest::texts_data()
{
    QTest::addColumn<QString>("text");
    const std::pair<const char *, const char *> rows[] = {
        {"label", "姓名"}, {"label_3", "性别"}, {"label_sex", "男"}, {"label_2", "民族"},
        {"label_nation", "汉"}, {"label_4", "出生"}, {"label_birth_year", "2020"}, {"label_5", "年"},
        {"label_birth_month", "01"}, {"label_6", "月"}, {"label_birth_day", "01"}, {"label_7", "日"},
        {"label_8", "住址"}, {"label_9", "公民身份号码"}, {"label_photo", ""}, {"label_21", "有效期限"},
        {"label_19", "签发机关"}, {"label_valid", "2020.01.01-2035.01.01"}, {"label_24", "类型"},
        {"label_idcard_type", "居民身份证"}, {"label_shebao", "TextLabel"}, {"label_readtip", "请放卡片"},
        {"label_10", "指纹"}, {"rbtn_auth", "每次读卡前需要重新移动卡片来验证卡片"},
        {"rbtn_no_auth", "每次读卡无需移动卡片直接读卡"}, {"rbtn_readfp", "读卡时一起读取指纹信息"},
        {"btn_reread", "读取身份证"}, {"btn_fp", "指纹"}, {"pushButton", "读取社保卡"},
        {"btn_back", "返回"}, {"btn_close", "关闭"},
    };
    for (const auto &[name, text] : rows)
        QTest::newRow(name) << QString::fromUtf8(text);
}

void FormTest::texts()
{
    QFETCH(QString, text);
    QObject *widget = child(QTest::currentDataTag());
    QCOMPARE(widget->property("text").toString(), text);
    QCOMPARE(window->windowTitle(), QStringLiteral("Form"));
}

// The four free samples: a two-character name, a twelve-character address, an 18-digit
// number and a ten-character office.
void FormTest::startContent()
{
    QVERIFY(labelPixmap(child<QLabel>("label_photo")).isNull());
    QVERIFY(child<QPlainTextEdit>("plainTextEdit_fp")->toPlainText().isEmpty());
    QCOMPARE(child<QLabel>("label_name")->text().size(), 2);
    QCOMPARE(child<QLabel>("label_address")->text().size(), 12);
    QVERIFY(QRegularExpression("^\\d{18}$").match(child<QLabel>("label_idcode")->text()).hasMatch());
    QCOMPARE(child<QLabel>("label_agency")->text().size(), 10);
}

void FormTest::slotsInOrder()
{
    const QMetaObject *meta = window->metaObject();
    QCOMPARE(meta->className(), "IDCardShow");
    QCOMPARE(meta->superClass(), &QWidget::staticMetaObject);
    QCOMPARE(meta->propertyCount(), meta->propertyOffset());
    QCOMPARE(meta->classInfoCount(), meta->classInfoOffset());
    const QByteArray expected[] = {"on_btn_reread_clicked()", "on_btn_close_clicked()", "on_btn_back_clicked()",
                                   "on_btn_fp_clicked()", "on_pushButton_clicked()"};
    QCOMPARE(meta->methodCount() - meta->methodOffset(), 5);
    for (int i = 0; i < 5; ++i) {
        const QMetaMethod method = meta->method(meta->methodOffset() + i);
        QCOMPARE(method.methodSignature(), expected[i]);
        QCOMPARE(method.methodType(), QMetaMethod::Slot);
        QCOMPARE(method.access(), QMetaMethod::Private);
        QCOMPARE(method.returnType(), int(QMetaType::Void));
    }
    QCOMPARE(window->qt_metacast("IDCardShow"), static_cast<void *>(window.get()));
    QCOMPARE(window->qt_metacast("QWidget"), static_cast<void *>(static_cast<QWidget *>(window.get())));
}

QTEST_MAIN(FormTest)
#include "tst_form.moc"
