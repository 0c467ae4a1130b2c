// The channel from the child that runs the vendor's code, read as untrusted: whatever arrives,
// the reader stays within its bounds and tells a report from garbage.

#include "childprotocol.h"

#include <QtTest>

namespace {

QByteArray header(quint8 type, quint32 length)
{
    QByteArray bytes(1 + TokenBytes, char(type));
    for (int i = 0; i < 4; ++i)
        bytes += char(length >> (8 * i));
    return bytes;
}

}

class ChildProtocolTest : public QObject
{
    Q_OBJECT

private slots:
    void frames_data();
    void frames();
    void fields_data();
    void fields();
};

void ChildProtocolTest::frames_data()
{
    const QByteArray loading = Payload().integer(1).frame(Message::Loading, 7);
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("frames");
    QTest::addColumn<bool>("valid");
    QTest::newRow("two frames") << loading + Payload().frame(Message::Finished, 7) << 2 << true;
    QTest::newRow("a frame cut short waits") << loading.left(HeaderBytes + 2) << 0 << true;
    QTest::newRow("a header cut short waits") << loading.left(3) << 0 << true;
    QTest::newRow("unknown type") << header(0, 0) << 0 << false;
    QTest::newRow("type past the last") << header(quint8(Message::Finished) + 1, 0) << 0 << false;
    QTest::newRow("length over the bound") << header(quint8(Message::IdCard), MaxFrameBytes) << 0 << false;
    QTest::newRow("length of 4 GiB") << header(quint8(Message::IdCard), 0xffffffffu) << 0 << false;
    QTest::newRow("garbage after a frame") << loading + header(3, 0x7fffffff) + "garbage" << 1 << false;
    QTest::newRow("more frames than any read sends") << Payload().frame(Message::Finished, 7).repeated(MaxFrames + 1) << MaxFrames << false;
}

// Bytes fed in one piece and one byte at a time give the same frames.
void ChildProtocolTest::frames()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, frames);
    QFETCH(bool, valid);
    for (int piece : {int(bytes.size()), 1}) {
        FrameReader reader;
        int taken = 0;
        for (int at = 0; at < bytes.size() && reader.valid(); at += piece) {
            reader.feed(bytes.constData() + at, qMin(piece, int(bytes.size()) - at));
            Frame frame;
            while (reader.next(frame))
                ++taken;
        }
        QCOMPARE(taken, frames);
        QCOMPARE(reader.valid(), valid);
    }
}

void ChildProtocolTest::fields_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<bool>("complete");
    QTest::newRow("within bounds") << Payload().integer(7).bytes("path").frame(Message::Loaded, 0).mid(HeaderBytes) << true;
    QTest::newRow("integer over its bound") << Payload().integer(8).bytes("path").frame(Message::Loaded, 0).mid(HeaderBytes) << false;
    QTest::newRow("negative integer") << Payload().integer(-1).bytes("path").frame(Message::Loaded, 0).mid(HeaderBytes) << false;
    QTest::newRow("string over its bound") << Payload().integer(7).bytes("paths").frame(Message::Loaded, 0).mid(HeaderBytes) << false;
    QTest::newRow("string past the payload") << Payload().integer(7).bytes("path").frame(Message::Loaded, 0).mid(HeaderBytes, 14) << false;
    QTest::newRow("string length of 4 GiB") << Payload().integer(7).frame(Message::Loaded, 0).mid(HeaderBytes) + "\xff\xff\xff\xff" << false;
    QTest::newRow("missing field") << Payload().integer(7).frame(Message::Loaded, 0).mid(HeaderBytes) << false;
    QTest::newRow("bytes left over") << Payload().integer(7).bytes("path").integer(0).frame(Message::Loaded, 0).mid(HeaderBytes) << false;
}

void ChildProtocolTest::fields()
{
    QFETCH(QByteArray, payload);
    QFETCH(bool, complete);
    PayloadReader reader(payload);
    const qint64 number = reader.integer(0, 7);
    const QByteArray text = reader.bytes(4);
    QCOMPARE(reader.complete(), complete);
    if (complete)
        QCOMPARE(qMakePair(number, text), qMakePair(qint64(7), QByteArray("path")));
}

QTEST_APPLESS_MAIN(ChildProtocolTest)
#include "tst_childprotocol.moc"
