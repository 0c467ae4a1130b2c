#include "supervisor.h"

#include "driverchild.h"
#include "endingsignals.h"
#include "processtree.h"

#include <QElapsedTimer>
#include <QFile>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <poll.h>
#include <new>
#include <sys/mman.h>
#include <sys/ptrace.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int NoCall = -1;
constexpr int ReadChunk = 64 * 1024;
// How often the check looks whether the child has ended while its pipes stay open.
constexpr int ReapIntervalMs = 50;
// How long a killed child may take to go; one stuck in the kernel does not go at all.
constexpr int StopGraceMs = 1000;

// One of the library's output streams, relayed line by line within bounds.
class Relay
{
public:
    Relay(Stream stream, ChildEvents &events) : m_stream(stream), m_events(events) {}

    void take(const char *bytes, int count)
    {
        for (int at = 0; at < count;) {
            const char *newline = static_cast<const char *>(memchr(bytes + at, '\n', size_t(count - at)));
            const int end = newline ? int(newline - bytes) : count;
            append(bytes + at, end - at);
            if (newline)
                endLine();
            at = end + 1;
        }
    }
    // A line the library left unfinished is shown as it is, at the end of its step.
    void endPartialLine()
    {
        if (!m_line.isEmpty() || m_cut > 0)
            endLine();
    }
    void finish()
    {
        endPartialLine();
        if (m_leftOut > 0)
            m_events.libraryOutputLeftOut(m_stream, m_leftOut);
    }

private:
    void append(const char *bytes, int count)
    {
        const int room = qMax(0, MaxRelayedLineBytes - m_line.size());
        m_line.append(bytes, qMin(room, count));
        m_cut += qMax(0, count - room);
    }
    void endLine()
    {
        if (m_lines < MaxRelayedLines && m_shown + m_line.size() <= MaxRelayedBytes) {
            m_events.libraryWrote(m_stream, m_cut > 0 ? m_line + "\xe2\x80\xa6" : m_line);
            m_shown += m_line.size();
            m_leftOut += m_cut;
            ++m_lines;
        } else {
            m_leftOut += m_line.size() + m_cut + 1;
        }
        m_line.clear();
        m_cut = 0;
    }

    Stream m_stream;
    ChildEvents &m_events;
    QByteArray m_line;
    qint64 m_cut = 0;
    int m_lines = 0;
    qint64 m_shown = 0;
    qint64 m_leftOut = 0;
};

enum Pipe { Channel, Output, Error, PipeCount };

// A token for the child's next frame, one a library cannot guess.
Token freshToken()
{
    Token token = 0;
    while (getrandom(&token, sizeof token, 0) < 0 && errno == EINTR) {
    }
    return token;
}

bool isCrashSignal(int signal)
{
    switch (signal) {
    case SIGSEGV: case SIGBUS: case SIGILL: case SIGFPE: case SIGABRT: case SIGTRAP: case SIGSYS: return true;
    default: return false;
    }
}

bool isStopSignal(int signal)
{
    return signal == SIGSTOP || signal == SIGTSTP || signal == SIGTTIN || signal == SIGTTOU;
}

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

class Supervision
{
public:
    Supervision(pid_t child, const int (&readEnds)[PipeCount], Token token, ChildNotes &notes, int timeoutSeconds,
                ChildEvents &events)
        : m_child(child), m_token(token), m_notes(notes), m_timeoutMs(qint64(timeoutSeconds) * 1000), m_events(events),
          m_relays{{Stream::Output, events}, {Stream::Error, events}}
    {
        for (int pipe = 0; pipe < PipeCount; ++pipe)
            m_fds[pipe] = readEnds[pipe];
    }

    ChildEnd run()
    {
        m_clock.start();
        while (!m_ended) {
            if (signalArrived())
                return stopForSignal();
            if (m_garbled)
                return stop(ChildEnd::Garbled);
            if (m_stopSignal)
                return stop(isCrashSignal(m_stopSignal) ? ChildEnd::Crashed : ChildEnd::Stopped, m_stopSignal);
            if (m_clock.elapsed() - m_stepSince >= m_timeoutMs)
                return stop(overdue());
            waitForInput();
            drainOutputs();
            readChannel();
            noticeEnd();
        }
        // The child's last reports may still wait in the channel.
        drainOutputs();
        readChannel();
        if (signalArrived())
            return stopForSignal();
        classify();
        return finish();
    }

private:
    // A signal is looked for before each frame: one the library sent during a call arrived
    // before the frame that says the call returned.
    static bool signalArrived() { return endingSignalArrived().number != 0; }

    ChildEnd stopForSignal()
    {
        const EndingSignal signal = endingSignalArrived();
        if (!sentByLibrary(signal))
            return stop(ChildEnd::Interrupted, signal.number);
        dismissEndingSignal();
        return stop(ChildEnd::SignalledCheck, signal.number);
    }

    // What a step past the deadline means: only a call or a loading that has not returned is
    // a hang; half a frame, or silence in the check's own code, is the channel disturbed.
    ChildEnd::How overdue() const
    {
        if (m_frames.holdsPartOfFrame())
            return ChildEnd::Garbled;
        return m_step.running() ? ChildEnd::Hung : ChildEnd::Silent;
    }

    // A signal the child or a process it started sent the check is the library's doing.
    bool sentByLibrary(const EndingSignal &signal) const
    {
        return signal.sender > 0 && signal.sender != getpid() && descendsFrom(signal.sender, getpid());
    }

    void waitForInput()
    {
        pollfd fds[PipeCount + 1];
        int count = 0;
        for (int fd : m_fds)
            if (fd >= 0)
                fds[count++] = {fd, POLLIN, 0};
        if (endingSignalDescriptor() >= 0)
            fds[count++] = {endingSignalDescriptor(), POLLIN, 0};
        const qint64 left = m_timeoutMs - (m_clock.elapsed() - m_stepSince);
        // With every pipe at its end the child is on its way out: look again soon.
        const bool pipesOpen = m_fds[Channel] >= 0 || m_fds[Output] >= 0 || m_fds[Error] >= 0;
        const qint64 wait = pipesOpen ? qMin<qint64>(left, ReapIntervalMs) : 1;
        poll(fds, nfds_t(count), int(qMax<qint64>(0, wait)));
    }

    // Reads what is there; false at the pipe's end, when it is closed and dropped.
    bool readSome(Pipe pipe, char *buffer, int &count)
    {
        count = 0;
        if (m_fds[pipe] < 0)
            return false;
        const ssize_t got = read(m_fds[pipe], buffer, ReadChunk);
        if (got > 0) {
            count = int(got);
            return true;
        }
        if (got < 0 && (errno == EAGAIN || errno == EINTR))
            return false;
        close(m_fds[pipe]);
        m_fds[pipe] = -1;
        return false;
    }

    // Everything the library wrote so far, read before the reports that follow it.
    void drainOutputs()
    {
        static char buffer[ReadChunk];
        for (Pipe pipe : {Output, Error}) {
            int count = 0;
            // A bounded number of reads: a library that writes without end must not keep the
            // check from its deadline.
            for (int reads = 0; reads < 16 && readSome(pipe, buffer, count); ++reads)
                m_relays[pipe - Output].take(buffer, count);
        }
    }

    void readChannel()
    {
        static char buffer[ReadChunk];
        int count = 0;
        while (!m_garbled && !signalArrived() && readSome(Channel, buffer, count)) {
            m_garbled = !m_frames.feed(buffer, count);
            Frame frame;
            while (!m_garbled && !signalArrived() && m_frames.next(frame)) {
                drainOutputs();
                m_garbled = frame.token != m_token || !dispatch(frame);
                // The child waits for the next token before it goes on.
                if (!m_garbled)
                    answer();
            }
            m_garbled = m_garbled || !m_frames.valid();
        }
    }

    void answer()
    {
        m_token = freshToken();
        m_notes.nextToken = m_token;
        sem_post(&m_notes.answered);
    }

    bool dispatch(const Frame &frame)
    {
        // Nothing follows the last report.
        if (m_finished)
            return false;
        PayloadReader in(frame.payload);
        switch (frame.type) {
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
        case Message::Finished: return m_finished = in.complete() && finishExpected();
        }
        return false;
    }

    void stepStarts(Step step)
    {
        for (Relay &relay : m_relays)
            relay.endPartialLine();
        setStep(step);
        m_events.stepStarts(step);
    }

    // The deadline runs from each step's start and end, whatever else the child reports.
    void setStep(Step step)
    {
        m_step = step;
        m_stepSince = m_clock.elapsed();
    }

    bool finishExpected() const
    {
        if (m_step.running() || m_dataExpected != Message::Finished || !m_objectsSeen)
            return false;
        return !m_readExpected || m_overrunSeen || m_nextCall == NoCall;
    }

    bool startLoading(PayloadReader &in)
    {
        const auto library = DriverLibrary(in.integer(0, 1));
        if (!in.complete() || m_step.running() || int(library) != m_librariesLoaded)
            return false;
        stepStarts({Step::Loading, library, DriverCall::Open});
        return true;
    }

    bool endLoading(PayloadReader &in)
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
    bool beforeReads() const
    {
        return m_librariesLoaded == 2 && !m_step.running() && !m_objectsSeen;
    }

    bool missingFunctions(PayloadReader &in)
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

    bool objectsBroughtIn(PayloadReader &in)
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

    bool startCall(PayloadReader &in)
    {
        const auto call = DriverCall(in.integer(0, int(DriverCall::ReadSocial)));
        const bool expected = m_readExpected && !m_overrunSeen && m_dataExpected == Message::Finished && int(call) == m_nextCall;
        if (!in.complete() || m_step.running() || !expected)
            return false;
        stepStarts({Step::Calling, m_step.library, call});
        return true;
    }

    bool endCall(PayloadReader &in)
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
                                                                      : Message::Finished;
        m_events.returned(call);
        return true;
    }

    bool descriptorLost(PayloadReader &in)
    {
        const int fd = int(in.integer(0, 2));
        const bool closed = in.integer(0, 1);
        if (!in.complete() || (m_step.kind != Step::Loaded && m_step.kind != Step::Returned))
            return false;
        m_events.descriptorLost(fd, closed, m_step);
        return true;
    }

    bool descriptorsUsedUp(PayloadReader &in)
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

    bool idCardRead(PayloadReader &in)
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

    bool socialRead(PayloadReader &in)
    {
        const QByteArray buffer = in.bytes(SocialDataBufferSize);
        if (!in.complete() || m_dataExpected != Message::Social || buffer.size() != SocialDataBufferSize)
            return false;
        m_dataExpected = Message::Finished;
        m_events.socialRead(buffer);
        return true;
    }

    bool overrun(PayloadReader &in)
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

    // Sees that the child ended, or stopped, without reaping it: while it is a zombie its
    // process group cannot pass to another process. A stop the library made is ended at once,
    // as nothing would continue it; a stop under ptrace (the library made the check its tracer
    // with PTRACE_TRACEME) is a crash when its signal is one, else the signal goes on.
    void noticeEnd()
    {
        siginfo_t info;
        info.si_pid = 0;
        if (waitid(P_PID, id_t(m_child), &info, WEXITED | WSTOPPED | WNOHANG | WNOWAIT) != 0 || info.si_pid != m_child)
            return;
        if (info.si_code == CLD_STOPPED || info.si_code == CLD_TRAPPED) {
            noticeStop(info.si_code == CLD_TRAPPED, info.si_status);
            return;
        }
        m_ended = true;
        m_signalled = info.si_code == CLD_KILLED || info.si_code == CLD_DUMPED;
        m_status = info.si_status;
    }

    void noticeStop(bool traced, int signal)
    {
        if (!traced || isCrashSignal(signal) || isStopSignal(signal)) {
            m_stopSignal = signal;
            m_end.traced = traced;
            return;
        }
        int status;
        waitpid(m_child, &status, WNOHANG | WUNTRACED);
        ptrace(PTRACE_CONT, m_child, nullptr, reinterpret_cast<void *>(intptr_t(signal)));
    }

    // Kills the child and all it started, and waits a little for them to go: a process stuck
    // in the kernel, as in a USB transfer that never ends, goes only when the kernel lets it.
    ChildEnd stop(ChildEnd::How how, int code = 0)
    {
        m_end.how = how;
        m_end.code = code;
        return finish();
    }

    void classify()
    {
        m_end.code = m_status;
        if (m_garbled)
            m_end.how = ChildEnd::Garbled;
        else if (m_signalled)
            m_end.how = ChildEnd::Crashed;
        else if (m_finished && m_status == 0)
            m_end.how = ChildEnd::Finished;
        else if (!m_finished && m_notes.channelBroken)
            m_end.how = ChildEnd::ChannelBroken;
        else
            m_end.how = ChildEnd::Exited;
    }

    void noteForkedCopy()
    {
        const int message = m_notes.forkedCopyMessage;
        if (message == 0)
            return;
        const int step = m_notes.forkedCopyStep;
        m_end.forkedCopy = true;
        if (Message(message) == Message::Loaded)
            m_end.forkedCopyStep = {Step::Loading, DriverLibrary(step & 1), DriverCall::Open};
        else
            m_end.forkedCopyStep = {Step::Calling, DriverLibrary::Card, DriverCall(qBound(0, step, int(DriverCall::ReadSocial)))};
    }

    ChildEnd finish()
    {
        // Whatever the library started and left behind ends with the check.
        const StoppedDescendants stopped = stopDescendants(m_child, StopGraceMs);
        m_end.leftRunning = stopped.others;
        m_end.stillRunning = stopped.stillRunning;
        noteForkedCopy();
        drainOutputs();
        for (Relay &relay : m_relays)
            relay.finish();
        for (int &fd : m_fds)
            if (fd >= 0)
                close(fd);
        m_end.step = m_step;
        return m_end;
    }

    pid_t m_child;
    Token m_token;
    ChildNotes &m_notes;
    qint64 m_timeoutMs;
    ChildEvents &m_events;
    Relay m_relays[2];
    int m_fds[PipeCount];
    QElapsedTimer m_clock;
    qint64 m_stepSince = 0;
    FrameReader m_frames;
    Step m_step;
    ChildEnd m_end;
    // The read's order, as far as the reports went.
    int m_librariesLoaded = 0;
    bool m_allLoaded = true;
    bool m_missingSeen = false;
    bool m_objectsSeen = false;
    bool m_readExpected = false;
    int m_nextCall = int(DriverCall::Open);
    DriverCall m_previousCall = DriverCall::Open;
    Message m_dataExpected = Message::Finished; // the data frame the last call's success owes, or Finished for none
    bool m_overrunSeen = false;
    bool m_objectsSinceReturn = false;
    bool m_descriptorsSeen = false; // said once: they stay used up
    bool m_finished = false;
    bool m_garbled = false;
    bool m_ended = false;
    bool m_signalled = false;
    int m_status = 0;
    int m_stopSignal = 0;
};

// Memory the child and the parent share, for the child's notes (childprotocol.h).
ChildNotes *sharedNotes()
{
    void *page = mmap(nullptr, sizeof(ChildNotes), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (page == MAP_FAILED)
        return nullptr;
    auto *notes = new (page) ChildNotes();
    sem_init(&notes->answered, 1, 0);
    return notes;
}

// The channel and the two output pipes, closed on exec so that no program the library starts
// holds them; errno of the first that failed, or 0.
int makePipes(int (&pipes)[PipeCount][2], int &made)
{
    made = 0;
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pipes[Channel]) != 0)
        return errno;
    for (made = 1; made < PipeCount; ++made)
        if (pipe2(pipes[made], O_CLOEXEC) != 0)
            return errno;
    return 0;
}
}

ChildEnd superviseDriverChild(int timeoutSeconds, ChildEvents &events)
{
    int pipes[PipeCount][2];
    int made = 0;
    int error = makePipes(pipes, made);
    ChildNotes *notes = error ? nullptr : sharedNotes();
    if (!error && !notes)
        error = errno;
    adoptOrphans();
    std::fflush(stdout);
    const pid_t parent = getpid();
    const pid_t child = error ? -1 : fork();
    if (child == 0)
        runDriverChild(pipes[Channel][1], pipes[Output][1], pipes[Error][1], parent, notes);
    if (child < 0 && !error)
        error = errno;
    int readEnds[PipeCount];
    for (int pipe = 0; pipe < made; ++pipe) {
        close(pipes[pipe][1]);
        readEnds[pipe] = pipes[pipe][0];
        fcntl(readEnds[pipe], F_SETFL, O_NONBLOCK);
    }
    if (child < 0) {
        for (int pipe = 0; pipe < made; ++pipe)
            close(readEnds[pipe]);
        ChildEnd end;
        end.how = ChildEnd::NotStarted;
        end.code = error;
        return end;
    }
    const Token first = freshToken();
    notes->nextToken = first;
    sem_post(&notes->answered);
    const ChildEnd end = Supervision(child, readEnds, first, *notes, timeoutSeconds, events).run();
    sem_destroy(&notes->answered);
    munmap(notes, sizeof(ChildNotes));
    return end;
}
