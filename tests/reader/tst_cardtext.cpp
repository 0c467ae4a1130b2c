// Card text made safe to show: one classification, written as a label, a terminal line and a
// file's name show it.

#include "cardtext.h"

#include <QtTest>

namespace {

QString fromUcs4(std::initializer_list<uint> codes)
{
    QString text;
    for (const uint c : codes) {
        if (QChar::requiresSurrogates(c))
            text.append(QChar(QChar::highSurrogate(c))).append(QChar(QChar::lowSurrogate(c)));
        else
            text.append(QChar(ushort(c)));
    }
    return text;
}

}

class CardTextTest : public QObject
{
    Q_OBJECT

private slots:
    void shown_data();
    void shown();
    void labelAndTerminalAgreeOnEveryCharacter();
    void terminalName_data();
    void terminalName();
};

void CardTextTest::shown_data()
{
    const QString replaced(1, QChar::ReplacementCharacter);
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("terminal");
    QTest::newRow("plain, beyond 16 bits too") << fromUcs4({'a', 0x738b, 0x20000}) << fromUcs4({'a', 0x738b, 0x20000})
                                               << fromUcs4({'a', 0x738b, 0x20000});
    QTest::newRow("backslash") << "a\\b" << "a\\b" << "a\\\\b";
    QTest::newRow("C0 and DEL") << fromUcs4({0, 0x1b, 0x7f}) << fromUcs4({0x2400, 0x241b, 0x2421}) << "\\x00\\x1b\\x7f";
    QTest::newRow("C1 and separators") << fromUcs4({0x85, 0x2028, 0x2029}) << replaced.repeated(3)
                                       << "\\u0085\\u2028\\u2029";
    QTest::newRow("format and right-to-left") << fromUcs4({0x202e, 0xfeff, 0xe0041, 0x5d0, 0x661}) << replaced.repeated(5)
                                              << "\\u202e\\ufeff\\U000e0041\\u05d0\\u0661";
    QTest::newRow("unpaired surrogates") << fromUcs4({0xd800, 'a', 0xdfff}) << replaced + "a" + replaced << "\\ud800a\\udfff";
    QTest::newRow("bytes that were no text") << fromUcs4({0xdc80, 0xdcff}) << replaced.repeated(2) << "\\x80\\xff";
}

void CardTextTest::shown()
{
    QFETCH(QString, text);
    QFETCH(QString, label);
    QFETCH(QString, terminal);
    QCOMPARE(visibleCardText(text), label);
    QCOMPARE(terminalText(text), terminal);
}

// A character a label changes is one a terminal line escapes, and the other way round: the
// backslash alone is the terminal's own.
void CardTextTest::labelAndTerminalAgreeOnEveryCharacter()
{
    for (uint c = 0; c <= 0x10ffff; ++c) {
        const QString text = fromUcs4({c});
        const bool labelKeeps = visibleCardText(text) == text;
        if (labelKeeps != (terminalText(text) == text) && c != '\\')
            QFAIL(qPrintable(QString::number(c, 16)));
    }
}

void CardTextTest::terminalName_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("shown");
    QTest::newRow("printable ASCII") << QByteArray("photo.bmp") << QByteArray("photo.bmp");
    QTest::newRow("controls and backslash") << QByteArray("a\x1b]0;\\\n") << QByteArray("a\\x1b]0;\\\\\\x0a");
    QTest::newRow("UTF-8 and stray bytes") << QByteArray("\xe7\x8e\x8b\xff") << QByteArray("\\xe7\\x8e\\x8b\\xff");
}

void CardTextTest::terminalName()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, shown);
    QCOMPARE(::terminalName(name), shown);
}

QTEST_APPLESS_MAIN(CardTextTest)
#include "tst_cardtext.moc"
