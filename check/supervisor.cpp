#include "supervisor.h"

#include "childprocess.h"
#include "endingsignals.h"
#include "processtree.h"
#include "relay.h"
#include "reportdecoder.h"

#include <QElapsedTimer>
#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace {

constexpr int ReadChunk = 64 * 1024;
// How often the check looks whether the child has ended while its pipes stay open.
constexpr int ReapIntervalMs = 50;
// How long a killed child may take to go; one stuck in the kernel does not go at all.
constexpr int StopGraceMs = 1000;

class Supervision
{
public:
    Supervision(pid_t child, const int (&readEnds)[PipeCount], Token token, ChildNotes &notes, int timeoutSeconds,
                ChildEvents &events)
        : m_child(child), m_token(token), m_notes(notes), m_timeoutMs(qint64(timeoutSeconds) * 1000), m_events(events),
          m_relays{{Stream::Output, events}, {Stream::Error, events}},
          m_decoder(events, [this] {
              for (Relay &relay : m_relays)
                  relay.endPartialLine();
          })
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
            if (deadlinePassed())
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

    // The deadline runs from each step's start and end, whatever else the child reports.
    bool deadlinePassed()
    {
        if (m_decoder.stepChanges() != m_stepChanges) {
            m_stepChanges = m_decoder.stepChanges();
            m_stepSince = m_clock.elapsed();
        }
        return m_clock.elapsed() - m_stepSince >= m_timeoutMs;
    }

    // What a step past the deadline means: only a call or a loading that has not returned is
    // a hang; half a frame, or silence in the check's own code, is the channel disturbed.
    ChildEnd::How overdue() const
    {
        if (m_frames.holdsPartOfFrame())
            return ChildEnd::Garbled;
        return m_decoder.step().running() ? ChildEnd::Hung : ChildEnd::Silent;
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
                m_garbled = frame.token != m_token || !m_decoder.take(frame.type, frame.payload);
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

    // Sees that the child ended, or stopped, without reaping it: while it is a zombie, the
    // processes it started still descend from it. A stop the library made is ended at once, as
    // nothing would continue it; a ptrace stop for a crash signal is that crash.
    void noticeEnd()
    {
        const ChildState state = lookAtChild(m_child);
        m_ended = state.kind == ChildState::Ended;
        m_signalled = state.signalled;
        m_status = state.status;
        if (state.kind == ChildState::Stopped) {
            m_stopSignal = state.status;
            m_end.traced = state.traced;
        }
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
        else if (m_decoder.finished() && m_status == 0)
            m_end.how = ChildEnd::Finished;
        else if (!m_decoder.finished() && m_notes.channelBroken)
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
        m_end.step = m_decoder.step();
        return m_end;
    }

    pid_t m_child;
    Token m_token;
    ChildNotes &m_notes;
    qint64 m_timeoutMs;
    ChildEvents &m_events;
    Relay m_relays[2];
    ReportDecoder m_decoder;
    int m_fds[PipeCount];
    QElapsedTimer m_clock;
    // When the step last started or ended, as the decoder counted them.
    qint64 m_stepSince = 0;
    int m_stepChanges = 0;
    FrameReader m_frames;
    ChildEnd m_end;
    bool m_garbled = false;
    bool m_ended = false;
    bool m_signalled = false;
    int m_status = 0;
    int m_stopSignal = 0;
};

}

ChildEnd superviseDriverChild(int timeoutSeconds, ChildEvents &events)
{
    const Token first = freshToken();
    const StartedChild child = startDriverChild(first);
    if (child.pid < 0) {
        ChildEnd end;
        end.how = ChildEnd::NotStarted;
        end.code = child.error;
        return end;
    }
    const ChildEnd end = Supervision(child.pid, child.fds, first, *child.notes, timeoutSeconds, events).run();
    releaseNotes(child.notes);
    return end;
}
