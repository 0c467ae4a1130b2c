// The child's reports taken in the read's order only: a report a library forges or sends out of
// turn is refused where it stands, however well formed.

#include "reportdecoder.h"

#include <QtTest>

namespace {

struct Report {
    Message type;
    QByteArray payload;
};
using Reports = QVector<Report>;

class NoEvents : public ChildEvents
{
public:
    void stepStarts(const Step &) override {}
    void loaded(const LibraryLoad &) override {}
    void functionMissing(DriverCall) override {}
    void objectsBroughtIn(const QStringList &) override {}
    void objectsLoadedBy(DriverCall, const QStringList &) override {}
    void returned(const CallReturn &) override {}
    void descriptorLost(int, bool, const Step &) override {}
    void descriptorsUsedUp(int, int, const Step &) override {}
    void idCardRead(const IdCardData &) override {}
    void socialRead(const QByteArray &) override {}
    void samIdRead(const QByteArray &) override {}
    void overran(const Overrun &) override {}
    void libraryWrote(Stream, const QByteArray &) override {}
    void libraryOutputLeftOut(Stream, qint64) override {}
};

Report calling(DriverCall call)
{
    return {Message::Calling, Payload().integer(int(call)).frame(Message::Calling, 0).mid(HeaderBytes)};
}

Report returned(DriverCall call, qint64 result)
{
    return {Message::Returned, Payload().integer(int(call)).integer(result).integer(0).integer(1).frame(Message::Returned, 0)
                                    .mid(HeaderBytes)};
}

Report payload(Message type, const Payload &fields)
{
    return {type, fields.frame(type, 0).mid(HeaderBytes)};
}

Report samId()
{
    return payload(Message::SamId, Payload().bytes("05.01"));
}

// Both libraries loaded, nothing brought in besides.
Reports loading()
{
    Reports reports;
    for (int library : {0, 1}) {
        reports << payload(Message::Loading, Payload().integer(library));
        reports << payload(Message::Loaded, Payload().integer(library).integer(1).integer(0).integer(1).bytes("/lib"));
    }
    return reports << payload(Message::Objects, Payload().integer(0));
}

// A read whose ID card read fails, up to the social security call.
Reports failedIdCardRead()
{
    Reports reports = loading();
    for (DriverCall call : {DriverCall::Open, DriverCall::GetSamId, DriverCall::PowerOff, DriverCall::PowerOn,
                            DriverCall::Authenticate})
        reports << calling(call) << returned(call, call == DriverCall::Open ? 1 : 0);
    reports << calling(DriverCall::ReadBaseMessage) << returned(DriverCall::ReadBaseMessage, -2);
    return reports << calling(DriverCall::PowerOff) << returned(DriverCall::PowerOff, 0) << calling(DriverCall::Close)
                   << returned(DriverCall::Close, 0) << samId();
}

}

Q_DECLARE_METATYPE(Reports)

class ReportDecoderTest : public QObject
{
    Q_OBJECT

private slots:
    void order_data();
    void order();
};

void ReportDecoderTest::order_data()
{
    const Report finished{Message::Finished, QByteArray()};
    const Reports socialFails = Reports() << calling(DriverCall::ReadSocial) << returned(DriverCall::ReadSocial, -1);
    QTest::addColumn<Reports>("reports");
    QTest::addColumn<int>("refused"); // the first report refused, or -1
    QTest::newRow("a whole read") << (failedIdCardRead() + socialFails << finished) << -1;
    QTest::newRow("a return before its call") << (loading() << returned(DriverCall::Open, 1)) << loading().size();
    QTest::newRow("a call out of turn") << (loading() << calling(DriverCall::GetSamId)) << loading().size();
    QTest::newRow("a descriptor report during a call")
        << (loading() << calling(DriverCall::Open) << payload(Message::Descriptor, Payload().integer(2).integer(1)))
        << loading().size() + 1;
    QTest::newRow("an overrun of a buffer the call had not")
        << (loading() << calling(DriverCall::Open) << returned(DriverCall::Open, 1)
                      << payload(Message::Overrun, Payload().integer(int(DriverCall::Open)).integer(int(DriverBuffer::Record)).integer(8)))
        << loading().size() + 2;
    QTest::newRow("the ID card's data missing") << (loading() << calling(DriverCall::Open) << returned(DriverCall::Open, 1)
                                                               << calling(DriverCall::GetSamId) << returned(DriverCall::GetSamId, 0)
                                                               << calling(DriverCall::PowerOff) << returned(DriverCall::PowerOff, 0)
                                                               << calling(DriverCall::PowerOn) << returned(DriverCall::PowerOn, 0)
                                                               << calling(DriverCall::Authenticate) << returned(DriverCall::Authenticate, 0)
                                                               << calling(DriverCall::ReadBaseMessage) << returned(DriverCall::ReadBaseMessage, 0)
                                                               << calling(DriverCall::PowerOff))
                                                << loading().size() + 12;
    QTest::newRow("the SAM ID missing") << (failedIdCardRead().mid(0, failedIdCardRead().size() - 1) + socialFails)
                                        << failedIdCardRead().size() - 1;
    QTest::newRow("a SAM ID before the reader closed")
        << (loading() << calling(DriverCall::Open) << returned(DriverCall::Open, 1) << samId()) << loading().size() + 2;
    QTest::newRow("a finish before the social security read") << (failedIdCardRead() << finished) << failedIdCardRead().size();
    QTest::newRow("anything after the finish") << (failedIdCardRead() + socialFails << finished << finished)
                                               << failedIdCardRead().size() + 3;
}

void ReportDecoderTest::order()
{
    QFETCH(Reports, reports);
    QFETCH(int, refused);
    NoEvents events;
    ReportDecoder decoder(events, [] {});
    int first = -1;
    for (int at = 0; at < reports.size() && first < 0; ++at)
        if (!decoder.take(reports[at].type, reports[at].payload))
            first = at;
    QCOMPARE(first, refused);
}

QTEST_APPLESS_MAIN(ReportDecoderTest)
#include "tst_reportdecoder.moc"
