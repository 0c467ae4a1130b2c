// Decoding what the driver library writes: bounded text, the date pieces, the validity
// period, the fingerprint text, and the record's fields at their offsets.

#include "basemessage.h"

#include <QtTest>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// A zero-filled record with bytes put at the start of fields, no terminator added.
struct Record {
    BaseMessageRecord bytes = {};
    Record &put(RecordField field, const QByteArray &text)
    {
        std::memcpy(bytes + field.offset, text.constData(), size_t(qMin(text.size(), field.room)));
        return *this;
    }
};

const QString Replacement(QChar::ReplacementCharacter);

}

class BaseMessageTest : public QObject
{
    Q_OBJECT

private slots:
    void textInRoom_data();
    void textInRoom();
    void textInRoomReadsNothingPastRoom();
    void splitBirthDate_data();
    void splitBirthDate();
    void joinValidity_data();
    void joinValidity();
    void fingerprintText();
    void decodesFieldsAtTheirOffsets();
    void unterminatedFieldsStopAtTheirRoom_data();
    void unterminatedFieldsStopAtTheirRoom();
    void wholeRecordNonZero();
};

void BaseMessageTest::textInRoom_data()
{
    QTest::addColumn<QByteArray>("buffer");
    QTest::addColumn<int>("room");
    QTest::addColumn<QString>("text");
    QTest::newRow("terminated") << QByteArray("abc\0def", 7) << 7 << "abc";
    QTest::newRow("empty") << QByteArray(8, '\0') << 8 << "";
    QTest::newRow("unterminated stops at room") << QByteArray("abcdefgh") << 5 << "abcde";
    QTest::newRow("exactly fills room") << QByteArray("abcd") << 4 << "abcd";
    QTest::newRow("utf-8") << QByteArray("王小明\0", 10) << 10 << QString::fromUtf8("王小明");
    QTest::newRow("invalid utf-8") << QByteArray("a\xff\xfe" "b\0", 5) << 5 << "a" + Replacement + Replacement + "b";
    QTest::newRow("multibyte cut by room") << QByteArray("\xe7\x8e\x8b") << 2 << Replacement + Replacement;
    QTest::newRow("latin-1 bytes are not utf-8") << QByteArray("caf\xe9\0", 5) << 5 << "caf" + Replacement;
}

void BaseMessageTest::textInRoom()
{
    QFETCH(QByteArray, buffer);
    QFETCH(int, room);
    QFETCH(QString, text);
    QCOMPARE(::textInRoom(buffer.constData(), room), text);
}

// The room ends where an inaccessible page begins: reading one byte more would fault.
void BaseMessageTest::textInRoomReadsNothingPastRoom()
{
    const long page = sysconf(_SC_PAGESIZE);
    auto *pages = static_cast<char *>(mmap(nullptr, size_t(2 * page), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    QVERIFY(pages != MAP_FAILED);
    QCOMPARE(mprotect(pages + page, size_t(page), PROT_NONE), 0);
    char *room = pages + page - 1024;
    std::memset(room, 'x', 1024);
    QCOMPARE(::textInRoom(room, 1024), QString(1024, 'x'));
    munmap(pages, size_t(2 * page));
}

void BaseMessageTest::splitBirthDate_data()
{
    QTest::addColumn<QString>("date");
    QTest::addColumn<QStringList>("pieces");
    QTest::newRow("0 characters") << "" << QStringList{"", "", ""};
    QTest::newRow("4 characters") << "1990" << QStringList{"1990", "", ""};
    QTest::newRow("5 characters") << "19900" << QStringList{"1990", "0", ""};
    QTest::newRow("6 characters") << "199003" << QStringList{"1990", "03", ""};
    QTest::newRow("8 characters") << "19900307" << QStringList{"1990", "03", "07"};
    QTest::newRow("10 characters") << "1990030799" << QStringList{"1990", "03", "07"};
    QTest::newRow("non-ascii counts characters") << QString::fromUtf8("一九九〇年三月七日") << QStringList{QString::fromUtf8("一九九〇"), QString::fromUtf8("年三"), QString::fromUtf8("月七")};
}

void BaseMessageTest::splitBirthDate()
{
    QFETCH(QString, date);
    QFETCH(QStringList, pieces);
    const BirthDate birth = ::splitBirthDate(date);
    QCOMPARE((QStringList{birth.year, birth.month, birth.day}), pieces);
}

void BaseMessageTest::joinValidity_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("validity");
    QTest::newRow("both") << "2020.01.01" << "2040.01.01" << "2020.01.01-2040.01.01";
    QTest::newRow("long-term") << "2020.01.01" << QString::fromUtf8("长期") << QString::fromUtf8("2020.01.01-长期");
    QTest::newRow("end empty") << "2020.01.01" << "" << "2020.01.01-";
    QTest::newRow("both empty") << "" << "" << "-";
}

void BaseMessageTest::joinValidity()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QString, validity);
    QCOMPARE(::joinValidity(from, to), validity);
}

void BaseMessageTest::fingerprintText()
{
    QByteArray bytes(1024, '\0');
    QCOMPARE(::fingerprintText(bytes), QString(2048, '0'));
    bytes[0] = char(0x0F);
    bytes[1] = char(0xA0);
    bytes[1023] = char(0xFF);
    const QString text = ::fingerprintText(bytes);
    QCOMPARE(text.size(), 2048);
    QVERIFY(text.startsWith("0fa0"));
    QVERIFY(text.endsWith("00ff"));
}

void BaseMessageTest::decodesFieldsAtTheirOffsets()
{
    using namespace RecordLayout;
    Record record;
    record.put(Name, "王小明").put(Sex, "男").put(Nation, "汉").put(Birth, "19900307")
        .put(Address, "北京市东城区示例路88号").put(IdCode, "11010119900307123X")
        .put(Agency, "北京市公安局东城分局").put(ValidFrom, "2020.01.01").put(ValidTo, "2040.01.01")
        .put(Fingerprint, QByteArray("\x0f\xa0", 2));
    record.bytes[0] = 'Z'; // bytes the program does not read
    record.bytes[2356] = 'Z';
    const HolderFields holder = decodeBaseMessage(record.bytes);
    QCOMPARE(holder.name, QString::fromUtf8("王小明"));
    QCOMPARE(holder.sex, QString::fromUtf8("男"));
    QCOMPARE(holder.nation, QString::fromUtf8("汉"));
    QCOMPARE((QStringList{holder.birth.year, holder.birth.month, holder.birth.day}), (QStringList{"1990", "03", "07"}));
    QCOMPARE(holder.address, QString::fromUtf8("北京市东城区示例路88号"));
    QCOMPARE(holder.idCode, QStringLiteral("11010119900307123X"));
    QCOMPARE(holder.agency, QString::fromUtf8("北京市公安局东城分局"));
    QCOMPARE(holder.validity, QStringLiteral("2020.01.01-2040.01.01"));
    QCOMPARE(holder.fingerprint.size(), 1024);
    QCOMPARE(holder.fingerprint.left(3), QByteArray("\x0f\xa0\x00", 3));
}

// A field filled to the brim, without NUL, is read to the end of its room and no further.
void BaseMessageTest::unterminatedFieldsStopAtTheirRoom_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("room");
    using namespace RecordLayout;
    for (const auto &[name, field] : {std::pair{"name", Name}, {"sex", Sex}, {"nation", Nation}, {"birth", Birth},
                                      {"address", Address}, {"idcode", IdCode}, {"agency", Agency},
                                      {"valid from", ValidFrom}, {"valid to", ValidTo}})
        QTest::newRow(name) << field.offset << field.room;
}

void BaseMessageTest::unterminatedFieldsStopAtTheirRoom()
{
    QFETCH(int, offset);
    QFETCH(int, room);
    Record record;
    std::memset(record.bytes + offset, 'a', size_t(room));
    const HolderFields holder = decodeBaseMessage(record.bytes);
    const QStringList texts = {holder.name, holder.sex, holder.nation, holder.birth.year + holder.birth.month + holder.birth.day,
                               holder.address, holder.idCode, holder.agency, holder.validity};
    const int longest = std::max_element(texts.begin(), texts.end(), [](auto &a, auto &b) { return a.size() < b.size(); })->size();
    const bool isBirth = offset == RecordLayout::Birth.offset;
    const bool isValidity = offset == RecordLayout::ValidFrom.offset || offset == RecordLayout::ValidTo.offset;
    QCOMPARE(longest, isBirth ? 8 : isValidity ? room + 1 : room);
}

// Every byte 0xff: each field is its whole room of replacement characters, never more.
void BaseMessageTest::wholeRecordNonZero()
{
    Record record;
    std::memset(record.bytes, 0xff, sizeof record.bytes);
    const HolderFields holder = decodeBaseMessage(record.bytes);
    QCOMPARE(holder.name, QString(32, QChar::ReplacementCharacter));
    QCOMPARE(holder.sex, QString(8, QChar::ReplacementCharacter));
    QCOMPARE(holder.validity.size(), 12 + 1 + 1120);
    QCOMPARE(::fingerprintText(holder.fingerprint), QString(2048, 'f'));
}

QTEST_APPLESS_MAIN(BaseMessageTest)
#include "tst_basemessage.moc"
