#include "supervisor.h"

#include "driverchild.h"

#include <QElapsedTimer>
#include <QFile>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int MaxTextBytes = 4096;
constexpr int MaxObjects = 64;
constexpr qint64 MaxNanoseconds = qint64(1) << 62;
constexpr int ReadChunk = 64 * 1024;
// How often the check looks whether the child has ended while its pipes stay open.
constexpr int ReapIntervalMs = 50;
// How long a killed child may take to go; one stuck in the kernel does not go at all.
constexpr int StopGraceMs = 1000;

// The child's process group while it runs, for the signal handler below.
volatile sig_atomic_t childGroup = 0;
// The folder to remove, if still empty, when a signal ends the check; empty for none.
char folderToRemove[4096];
constexpr int EndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE};
constexpr int EndingSignalCount = sizeof EndingSignals / sizeof EndingSignals[0];

// A signal that ends the check (Ctrl-C, a closed terminal or pipe) ends the child's group
// first: it is not in the terminal's foreground group, and nothing else would stop it.
void endChildToo(int signal)
{
    if (childGroup > 0)
        kill(-pid_t(childGroup), SIGKILL);
    if (folderToRemove[0])
        rmdir(folderToRemove);
    struct sigaction fallback;
    fallback.sa_handler = SIG_DFL;
    fallback.sa_flags = 0;
    sigemptyset(&fallback.sa_mask);
    sigaction(signal, &fallback, nullptr);
    raise(signal);
}

class EndingSignalsForwarded
{
public:
    EndingSignalsForwarded(pid_t group, const QByteArray &emptyFolder)
    {
        childGroup = group;
        if (size_t(emptyFolder.size()) < sizeof folderToRemove)
            std::memcpy(folderToRemove, emptyFolder.constData(), size_t(emptyFolder.size()) + 1);
        struct sigaction forward;
        forward.sa_handler = endChildToo;
        forward.sa_flags = 0;
        sigemptyset(&forward.sa_mask);
        for (int i = 0; i < EndingSignalCount; ++i)
            sigaction(EndingSignals[i], &forward, &m_earlier[i]);
    }
    ~EndingSignalsForwarded()
    {
        for (int i = 0; i < EndingSignalCount; ++i)
            sigaction(EndingSignals[i], &m_earlier[i], nullptr);
        childGroup = 0;
        folderToRemove[0] = 0;
    }

private:
    struct sigaction m_earlier[EndingSignalCount];
};

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

class Supervision
{
public:
    Supervision(pid_t child, const int (&readEnds)[PipeCount], int timeoutSeconds, ChildEvents &events)
        : m_child(child), m_timeoutMs(qint64(timeoutSeconds) * 1000), m_events(events),
          m_relays{{Stream::Output, events}, {Stream::Error, events}}
    {
        for (int pipe = 0; pipe < PipeCount; ++pipe)
            m_fds[pipe] = readEnds[pipe];
    }

    ChildEnd run()
    {
        m_clock.start();
        while (!m_ended) {
            if (m_garbled || m_clock.elapsed() - m_lastReport >= m_timeoutMs)
                return stop(m_garbled ? ChildEnd::Garbled : ChildEnd::Hung);
            waitForInput();
            drainOutputs();
            readChannel();
            noticeEnd();
        }
        // The child's last reports may still wait in the channel.
        drainOutputs();
        readChannel();
        classify();
        return finish();
    }

private:
    void waitForInput()
    {
        pollfd fds[PipeCount];
        int count = 0;
        for (int fd : m_fds)
            if (fd >= 0)
                fds[count++] = {fd, POLLIN, 0};
        const qint64 left = m_timeoutMs - (m_clock.elapsed() - m_lastReport);
        // With every pipe at its end the child is on its way out: look again soon.
        const qint64 wait = count > 0 ? qMin<qint64>(left, ReapIntervalMs) : 1;
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
        while (!m_garbled && readSome(Channel, buffer, count)) {
            m_garbled = !m_frames.feed(buffer, count);
            Frame frame;
            while (!m_garbled && m_frames.next(frame)) {
                drainOutputs();
                m_garbled = !dispatch(frame);
                m_lastReport = m_clock.elapsed();
                // The child waits for this before it goes on.
                if (!m_garbled)
                    ::send(m_fds[Channel], "", 1, MSG_NOSIGNAL);
            }
            m_garbled = m_garbled || !m_frames.valid();
        }
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
        case Message::Finished: return m_finished = in.complete() && !m_step.running();
        }
        return false;
    }

    void stepStarts(Step step)
    {
        for (Relay &relay : m_relays)
            relay.endPartialLine();
        m_step = step;
        m_events.stepStarts(step);
    }

    bool startLoading(PayloadReader &in)
    {
        const auto library = DriverLibrary(in.integer(0, 1));
        if (!in.complete() || m_step.running())
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
        m_step.kind = Step::Loaded;
        m_events.loaded(load);
        return true;
    }

    bool missingFunctions(PayloadReader &in)
    {
        const qint64 mask = in.integer(1, 0xff);
        if (!in.complete() || m_step.running())
            return false;
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
        if (!in.complete() || m_step.running())
            return false;
        m_events.objectsBroughtIn(paths);
        return true;
    }

    bool startCall(PayloadReader &in)
    {
        const auto call = DriverCall(in.integer(0, int(DriverCall::ReadSocial)));
        if (!in.complete() || m_step.running())
            return false;
        stepStarts({Step::Calling, m_step.library, call});
        return true;
    }

    bool endCall(PayloadReader &in)
    {
        CallReturn call;
        call.call = DriverCall(in.integer(0, int(DriverCall::ReadSocial)));
        call.result = in.integer(std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max());
        call.error = int(in.integer(0, 4095));
        call.nanoseconds = in.integer(0, MaxNanoseconds);
        if (!in.complete() || m_step.kind != Step::Calling || call.call != m_step.call)
            return false;
        m_step.kind = Step::Returned;
        m_events.returned(call);
        return true;
    }

    bool descriptorLost(PayloadReader &in)
    {
        const int fd = int(in.integer(0, 2));
        const bool closed = in.integer(0, 1);
        if (!in.complete())
            return false;
        m_events.descriptorLost(fd, closed, m_step);
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
        const bool expected = m_step.kind == Step::Returned && m_step.call == DriverCall::ReadBaseMessage;
        if (!in.complete() || !expected || card.record.size() != BaseMessageRecordSize)
            return false;
        m_events.idCardRead(card);
        return true;
    }

    bool socialRead(PayloadReader &in)
    {
        const QByteArray buffer = in.bytes(SocialDataBufferSize);
        const bool expected = m_step.kind == Step::Returned && m_step.call == DriverCall::ReadSocial;
        if (!in.complete() || !expected || buffer.size() != SocialDataBufferSize)
            return false;
        m_events.socialRead(buffer);
        return true;
    }

    // Sees that the child ended without reaping it: while it is a zombie its process group
    // cannot pass to another process, so killing the group still hits only what it started.
    void noticeEnd()
    {
        siginfo_t info;
        info.si_pid = 0;
        if (waitid(P_PID, id_t(m_child), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == m_child) {
            m_ended = true;
            m_signalled = info.si_code == CLD_KILLED || info.si_code == CLD_DUMPED;
            m_status = info.si_status;
        }
    }

    // Kills the child's group and waits a little for it to go: a process stuck in the kernel,
    // as in a USB transfer that never ends, goes only when the kernel lets it.
    ChildEnd stop(ChildEnd::How how)
    {
        kill(-m_child, SIGKILL);
        kill(m_child, SIGKILL);
        for (int waited = 0; waited < StopGraceMs && !m_ended; waited += 10) {
            noticeEnd();
            if (!m_ended)
                usleep(10 * 1000);
        }
        m_end.how = how;
        m_end.stillRunning = !m_ended;
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
        else if (!m_finished && m_status == ChannelBrokenStatus)
            m_end.how = ChildEnd::ChannelBroken;
        else
            m_end.how = ChildEnd::Exited;
    }

    ChildEnd finish()
    {
        // Whatever the library started and left behind ends with the check.
        kill(-m_child, SIGKILL);
        if (m_ended)
            waitpid(m_child, nullptr, 0);
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
    qint64 m_timeoutMs;
    ChildEvents &m_events;
    Relay m_relays[2];
    int m_fds[PipeCount];
    QElapsedTimer m_clock;
    qint64 m_lastReport = 0;
    FrameReader m_frames;
    Step m_step;
    ChildEnd m_end;
    bool m_finished = false;
    bool m_garbled = false;
    bool m_ended = false;
    bool m_signalled = false;
    int m_status = 0;
};

}

ChildEnd superviseDriverChild(int timeoutSeconds, ChildEvents &events, const QByteArray &emptyFolderToRemove)
{
    int pipes[PipeCount][2];
    int made = socketpair(AF_UNIX, SOCK_STREAM, 0, pipes[Channel]) == 0 ? 1 : 0;
    while (made > 0 && made < PipeCount && pipe(pipes[made]) == 0)
        ++made;
    std::fflush(stdout);
    const pid_t child = made == PipeCount ? fork() : -1;
    if (child == 0)
        runDriverChild(pipes[Channel][1], pipes[Output][1], pipes[Error][1]);
    const int error = errno;
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
    // Set here too, so that the group exists before the parent may need to kill it.
    setpgid(child, child);
    const EndingSignalsForwarded forwarded(child, emptyFolderToRemove);
    return Supervision(child, readEnds, timeoutSeconds, events).run();
}
