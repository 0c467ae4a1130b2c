#pragma once

// Shared by the read tests: a window on the fake driver, its card fields, the record
// builder and a capture of the toolkit's messages.

#include "basemessage.h"
#include "fakedriver.h"
#include "idcardshow.h"
#include "labelpixmap.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QtTest>
#include <memory>

struct LoggedMessage {
    QtMsgType type;
    QString text;
    QByteArray category;
    const char *file;
    int line;
    const char *function;
};

// Collects the toolkit's messages while it lives.
class MessageCapture
{
public:
    MessageCapture() { previous = qInstallMessageHandler(&MessageCapture::handle); }
    ~MessageCapture() { qInstallMessageHandler(previous); }
    static std::vector<LoggedMessage> &messages()
    {
        static std::vector<LoggedMessage> captured;
        return captured;
    }

private:
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &text)
    {
        messages().push_back({type, text, context.category, context.file, context.line, context.function});
    }
    QtMessageHandler previous;
};

// A 3920-byte record; put() writes bytes at a field's start without adding a terminator.
struct RecordBytes {
    std::string bytes = std::string(BaseMessageRecordSize, '\0');
    RecordBytes &put(RecordField field, const QByteArray &text)
    {
        bytes.replace(size_t(field.offset), size_t(qMin(text.size(), field.room)), text.constData(), size_t(qMin(text.size(), field.room)));
        return *this;
    }
};

inline RecordBytes sampleRecord()
{
    using namespace RecordLayout;
    RecordBytes record;
    record.put(Name, "王小明").put(Sex, "男").put(Nation, "汉").put(Birth, "19900307")
        .put(Address, "北京市东城区示例路88号").put(IdCode, "11010119900307123X")
        .put(Agency, "北京市公安局东城分局").put(ValidFrom, "2020.01.01").put(ValidTo, "2040.01.01");
    return record;
}

class ReaderFixture
{
public:
    // A new window on a fake reader that succeeds, with no calls or messages recorded.
    void startWindow()
    {
        fakedriver::reset();
        MessageCapture::messages().clear();
        window.reset(new IDCardShow);
    }

    template<typename T = QWidget>
    T *child(const char *name) const { return window->findChild<T *>(QLatin1String(name)); }

    QString labelText(const char *label) const { return child<QLabel>(label)->text(); }
    QPixmap shownPhoto() const { return labelPixmap(child<QLabel>("label_photo")); }
    QString shownFingerprint() const { return child<QPlainTextEdit>("plainTextEdit_fp")->toPlainText(); }
    int page() const { return child<QStackedWidget>("stackedWidget")->currentIndex(); }
    void click(const char *button) { child<QPushButton>(button)->click(); }

    // Everything a read fills, as one list: the ten value labels, the social security text,
    // the fingerprint text and whether a photo shows.
    QStringList cardFields() const
    {
        QStringList fields;
        for (const char *name : {"label_name", "label_sex", "label_nation", "label_idcode", "label_birth_year",
                                 "label_birth_month", "label_birth_day", "label_address", "label_agency",
                                 "label_valid", "label_shebao"})
            fields << labelText(name);
        return fields << shownFingerprint() << (shownPhoto().isNull() ? "" : "photo");
    }
    static QStringList emptyFields()
    {
        QStringList fields;
        for (int i = 0; i < 13; ++i)
            fields << QString();
        return fields;
    }

    std::unique_ptr<IDCardShow> window;
};
