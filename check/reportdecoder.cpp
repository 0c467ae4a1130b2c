#include "reportdecoder.h"

#include <QFile>
#include <limits>

namespace {

constexpr int NoCall = -1;

// The call the read makes after `call` returned `result`, in the order of cardreads.cpp;
// `previous` is the call before `call`, which tells the two power-offs apart.
int nextCall(DriverCall previous, DriverCall call, int64_t result)
{
    switch (call) {
    case DriverCall::Open: return int(endsRead(call, result) ? DriverCall::ReadSocial : DriverCall::GetSamId);
    case DriverCall::GetSamId: return int(DriverCall::PowerOff);
    case DriverCall::PowerOff: return int(previous == DriverCall::GetSamId ? DriverCall::PowerOn : DriverCall::Close);
    case DriverCall::PowerOn: return int(DriverCall::Authenticate);
    case DriverCall::Authenticate: return int(DriverCall::ReadBaseMessage);
    case DriverCall::ReadBaseMessage: return int(DriverCall::PowerOff);
    case DriverCall::Close: return int(DriverCall::ReadSocial);
    case DriverCall::ReadSocial: return NoCall;
    }
    return NoCall;
}

// The buffers each call is handed.
bool takesBuffer(DriverCall call, DriverBuffer buffer)
{
    switch (buffer) {
    case DriverBuffer::SamId: return call == DriverCall::GetSamId;
    case DriverBuffer::PowerOnReply: return call == DriverCall::PowerOn;
    case DriverBuffer::PhotoPath:
    case DriverBuffer::Record: return call == DriverCall::ReadBaseMessage;
    case DriverBuffer::SocialData: return call == DriverCall::ReadSocial;
    }
    return false;
}

}

ReportDecoder::ReportDecoder(ChildEvents &events, std::function<void()> stepStarting)
    : m_events(events), m_stepStarting(std::move(stepStarting))
{
}

bool ReportDecoder::take(Message type, const QByteArray &payload)
{
    // Nothing follows the last report.
    if (m_finished)
        return false;
    PayloadReader in(payload);
    switch (type) {
    case Message::Loading: return startLoading(in);
    case Message::Loaded: return endLoading(in);
    case Message::MissingFunctions: return missingFunctions(in);
    case Message::Objects: return objectsBroughtIn(in);
    case Message::Calling: return startCall(in);
    case Message::Returned: return endCall(in);
    case Message::Descriptor: return descriptorLost(in);
    case Message::IdCard: return idCardRead(in);
    case Message::Social: return socialRead(in);
    case Message::Overrun: return overrun(in);
    case Message::Descriptors: return descriptorsUsedUp(in);
    case Message::SamId: return samIdRead(in);
    case Message::Finished: return m_finished = in.complete() && finishExpected();
    }
    return false;
}

void ReportDecoder::stepStarts(Step step)
{
    m_stepStarting();
    setStep(step);
    m_events.stepStarts(step);
}

void ReportDecoder::setStep(Step step)
{
    m_step = step;
    ++m_stepChanges;
}

bool ReportDecoder::finishExpected() const
{
    if (m_step.running() || m_dataExpected != Message::Finished || !m_objectsSeen)
        return false;
    return !m_readExpected || m_overrunSeen || m_nextCall == NoCall;
}

bool ReportDecoder::startLoading(PayloadReader &in)
{
    const auto library = DriverLibrary(in.integer(0, 1));
    if (!in.complete() || m_step.running() || int(library) != m_librariesLoaded)
        return false;
    stepStarts({Step::Loading, library, DriverCall::Open});
    return true;
}

bool ReportDecoder::endLoading(PayloadReader &in)
{
    LibraryLoad load;
    load.library = DriverLibrary(in.integer(0, 1));
    load.loaded = in.integer(0, 1);
    load.simulated = in.integer(0, 1);
    load.nanoseconds = in.integer(0, MaxNanoseconds);
    load.pathOrReason = in.bytes(MaxTextBytes);
    if (!in.complete() || m_step.kind != Step::Loading || load.library != m_step.library)
        return false;
    setStep({Step::Loaded, m_step.library, m_step.call});
    m_allLoaded = m_allLoaded && load.loaded;
    ++m_librariesLoaded;
    m_events.loaded(load);
    return true;
}

// The reports between the loading and the reads.
bool ReportDecoder::beforeReads() const
{
    return m_librariesLoaded == 2 && !m_step.running() && !m_objectsSeen;
}

bool ReportDecoder::missingFunctions(PayloadReader &in)
{
    const qint64 mask = in.integer(1, 0xff);
    if (!in.complete() || !beforeReads() || m_missingSeen)
        return false;
    m_missingSeen = true;
    for (int call = 0; call < 8; ++call)
        if (mask & (qint64(1) << call))
            m_events.functionMissing(DriverCall(call));
    return true;
}

bool ReportDecoder::objectsBroughtIn(PayloadReader &in)
{
    const qint64 count = in.integer(0, MaxObjects);
    QStringList paths;
    for (qint64 i = 0; i < count; ++i)
        paths << QFile::decodeName(in.bytes(MaxTextBytes));
    if (in.complete() && m_step.kind == Step::Returned && !paths.isEmpty() && !m_objectsSinceReturn) {
        m_objectsSinceReturn = true;
        m_events.objectsLoadedBy(m_step.call, paths);
        return true;
    }
    if (!in.complete() || !beforeReads())
        return false;
    m_objectsSeen = true;
    m_readExpected = m_allLoaded && !m_missingSeen;
    m_events.objectsBroughtIn(paths);
    return true;
}

bool ReportDecoder::startCall(PayloadReader &in)
{
    const auto call = DriverCall(in.integer(0, int(DriverCall::ReadSocial)));
    const bool expected = m_readExpected && !m_overrunSeen && m_dataExpected == Message::Finished && int(call) == m_nextCall;
    if (!in.complete() || m_step.running() || !expected)
        return false;
    stepStarts({Step::Calling, m_step.library, call});
    return true;
}

bool ReportDecoder::endCall(PayloadReader &in)
{
    CallReturn call;
    call.call = DriverCall(in.integer(0, int(DriverCall::ReadSocial)));
    call.result = in.integer(std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max());
    // errno is whatever the library left: any value is one.
    call.error = int(in.integer(std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    call.nanoseconds = in.integer(0, MaxNanoseconds);
    if (!in.complete() || m_step.kind != Step::Calling || call.call != m_step.call)
        return false;
    setStep({Step::Returned, m_step.library, call.call});
    m_objectsSinceReturn = false;
    m_nextCall = nextCall(m_previousCall, call.call, call.result);
    m_previousCall = call.call;
    if (!endsRead(call.call, call.result))
        m_dataExpected = call.call == DriverCall::ReadBaseMessage ? Message::IdCard
                       : call.call == DriverCall::ReadSocial      ? Message::Social
                       : call.call == DriverCall::Close           ? Message::SamId
                                                                  : Message::Finished;
    m_events.returned(call);
    return true;
}

bool ReportDecoder::descriptorLost(PayloadReader &in)
{
    const int fd = int(in.integer(0, 2));
    const bool closed = in.integer(0, 1);
    if (!in.complete() || (m_step.kind != Step::Loaded && m_step.kind != Step::Returned))
        return false;
    m_events.descriptorLost(fd, closed, m_step);
    return true;
}

bool ReportDecoder::descriptorsUsedUp(PayloadReader &in)
{
    const int before = int(in.integer(0, std::numeric_limits<int>::max()));
    const int now = int(in.integer(0, std::numeric_limits<int>::max()));
    if (!in.complete() || (m_step.kind != Step::Loaded && m_step.kind != Step::Returned))
        return false;
    if (!m_descriptorsSeen)
        m_events.descriptorsUsedUp(before, now, m_step);
    m_descriptorsSeen = true;
    return true;
}

bool ReportDecoder::idCardRead(PayloadReader &in)
{
    IdCardData card;
    card.photoPath = in.bytes(PhotoPathBufferSize);
    card.record = in.bytes(BaseMessageRecordSize);
    card.photo.problem = PhotoFile::Problem(in.integer(PhotoFile::None, PhotoFile::ReadFailed));
    card.photo.error = int(in.integer(0, 4095));
    card.photoOwner = in.integer(-1, 0xffffffffLL);
    card.folderChangedByLibrary = in.integer(0, 1);
    card.workingFolder = in.bytes(MaxTextBytes);
    card.photo.bytes = in.bytes(int(MaxPhotoFileBytes));
    if (!in.complete() || m_dataExpected != Message::IdCard || card.record.size() != BaseMessageRecordSize)
        return false;
    m_dataExpected = Message::Finished;
    m_events.idCardRead(card);
    return true;
}

bool ReportDecoder::socialRead(PayloadReader &in)
{
    const QByteArray buffer = in.bytes(SocialDataBufferSize);
    if (!in.complete() || m_dataExpected != Message::Social || buffer.size() != SocialDataBufferSize)
        return false;
    m_dataExpected = Message::Finished;
    m_events.socialRead(buffer);
    return true;
}

bool ReportDecoder::samIdRead(PayloadReader &in)
{
    const QByteArray samId = in.bytes(SamIdBufferSize);
    if (!in.complete() || m_dataExpected != Message::SamId)
        return false;
    m_dataExpected = Message::Finished;
    m_events.samIdRead(samId);
    return true;
}

bool ReportDecoder::overrun(PayloadReader &in)
{
    Overrun overrun;
    overrun.call = DriverCall(in.integer(0, int(DriverCall::ReadSocial)));
    overrun.buffer = DriverBuffer(in.integer(0, int(DriverBuffer::SocialData)));
    overrun.beyond = int(in.integer(1, GuardBytes));
    const bool expected = m_step.kind == Step::Returned && m_step.call == overrun.call && !m_overrunSeen;
    if (!in.complete() || !expected || !takesBuffer(overrun.call, overrun.buffer))
        return false;
    m_overrunSeen = true;
    m_dataExpected = Message::Finished;
    m_events.overran(overrun);
    return true;
}
