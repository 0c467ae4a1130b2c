// The window's last word, without X: each row runs in a child process that stands for the
// window, with a pipe as its standard error, and does what a driver library does wrong during
// (or after) a call. The line it leaves, and how it ends, are what the window would show.

#include "lastword.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

// A fault at an address that is mapped but not writable: what a library's stray write gives,
// without the null pointer that UBSan would report first.
void crash()
{
    void *page = mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    *static_cast<volatile int *>(page) = 1;
}

void say(const char *text)
{
    const ssize_t written = write(STDERR_FILENO, text, strlen(text));
    static_cast<void>(written);
}

template<int Signal>
void raiseInRead()
{
    vendorCallStarts(DriverCall::ReadBaseMessage);
    raise(Signal);
}

void crashInRead()
{
    vendorCallStarts(DriverCall::ReadBaseMessage);
    crash();
}

void termFromAnotherProcess()
{
    vendorCallStarts(DriverCall::ReadBaseMessage);
    if (fork() == 0) {
        kill(getppid(), SIGTERM);
        _exit(0);
    }
    for (;;)
        pause();
}

// The library blocked the crash signals in one call and crashed in the next.
void crashAfterBlocking()
{
    vendorCallStarts(DriverCall::Open);
    sigset_t crashes;
    sigemptyset(&crashes);
    sigaddset(&crashes, SIGSEGV);
    sigprocmask(SIG_BLOCK, &crashes, nullptr);
    vendorCallEnded();
    vendorCallStarts(DriverCall::ReadBaseMessage);
    crash();
}

void threadCrashAfterReturn()
{
    vendorCallStarts(DriverCall::Open);
    vendorCallEnded();
    std::thread(crash).join();
}

void crashWithLogOnStandardError()
{
    vendorCallStarts(DriverCall::Open);
    dup2(open("/dev/null", O_WRONLY), STDERR_FILENO);
    crash();
}

void everyDescriptorClosedThenCrash()
{
    vendorCallStarts(DriverCall::Open);
    for (int fd = 0; fd < 1024; ++fd)
        close(fd);
    crash();
}

void halfLineThenExit()
{
    vendorCallStarts(DriverCall::ReadBaseMessage);
    say("vendor: reading");
    exit(2);
}

void hangForever()
{
    for (;;)
        pause();
}

// The library forks in a call and waits for its copy, which does `copy`; the window goes on.
template<void (*Copy)()>
void forkInCall()
{
    atexit(hangForever);
    vendorCallStarts(DriverCall::Open);
    const pid_t copy = fork();
    if (copy == 0)
        Copy();
    int status = 0;
    waitpid(copy, &status, 0);
    vendorCallEnded();
    say(getpid() == getpgrp() ? "window goes on\n" : "copy goes on\n");
    _exit(0);
}

template<int Beyond>
void overrunOfRecord()
{
    Overrun overrun;
    overrun.call = DriverCall::ReadBaseMessage;
    overrun.buffer = DriverBuffer::Record;
    overrun.beyond = Beyond;
    reportOverrun(overrun);
    say("window goes on\n");
}

void exitThree()
{
    exit(3);
}

void returnFromCall() {}

// Whether this program runs under qemu-user: the kernel's architecture, which qemu-user
// leaves alone, is not the one it was built for.
bool emulated()
{
#if defined(__aarch64__)
    const QByteArray built = "aarch64";
#elif defined(__x86_64__)
    const QByteArray built = "x86_64";
#else
    const QByteArray built;
#endif
    QFile arch(QStringLiteral("/proc/sys/kernel/arch"));
    return !built.isEmpty() && arch.open(QIODevice::ReadOnly) && arch.readAll().trimmed() != built;
}

// What the child wrote on its standard error and how it ended (an exit status, or minus the
// signal); the whole group is killed after 10 s, so a child that hangs fails the row.
std::pair<QByteArray, int> runAsWindow(void (*behaviour)())
{
    // A named pipe, which the window can open again by its path once the library closed it.
    QTemporaryDir folder;
    const QByteArray path = QFile::encodeName(folder.path() + QStringLiteral("/stderr"));
    if (mkfifo(path.constData(), 0600) != 0)
        qFatal("mkfifo");
    const int reader = open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    const pid_t child = fork();
    if (child == 0) {
        setpgid(0, 0);
        dup2(open(path.constData(), O_WRONLY), STDERR_FILENO);
        for (int signal = 1; signal < NSIG; ++signal)
            ::signal(signal, SIG_DFL);
        watchForLastWord();
        behaviour();
        _exit(0);
    }
    setpgid(child, child);
    // Read until the child has ended: a library may close every writer before the window
    // opens the pipe again.
    QByteArray said;
    int status = 0;
    bool ended = false;
    QElapsedTimer started;
    started.start();
    while (!ended && started.elapsed() < 10000) {
        ended = waitpid(child, &status, WNOHANG) == child;
        char chunk[512];
        for (ssize_t got; (got = read(reader, chunk, sizeof chunk)) > 0;)
            said.append(chunk, int(got));
        if (!ended)
            usleep(10000);
    }
    close(reader);
    kill(-child, SIGKILL);
    if (!ended)
        waitpid(child, &status, 0);
    return {said, WIFSIGNALED(status) ? -WTERMSIG(status) : WEXITSTATUS(status)};
}

}

class LastWordTest : public QObject
{
    Q_OBJECT

private slots:
    void lastWord_data();
    void lastWord();
};

void LastWordTest::lastWord_data()
{
    QTest::addColumn<void *>("behaviour");
    QTest::addColumn<QByteArray>("said");
    QTest::addColumn<QByteArray>("neverSaid");
    QTest::addColumn<int>("ending");
    const QByteArray read = "the driver library crashed in ICC_ReadBaseMsgData: signal ";
    const QByteArray ended = "the driver library ended the process in ICC_ReadBaseMsgData: signal ";
    const auto row = [](const char *name, void (*behaviour)(), const QByteArray &said, const QByteArray &neverSaid, int ending) {
        QTest::newRow(name) << reinterpret_cast<void *>(behaviour) << said << neverSaid << ending;
    };
    row("a fault", crashInRead, "\nidcardshow: " + read + "11 (SIGSEGV)\n", {}, -SIGSEGV);
    row("a trap", raiseInRead<SIGTRAP>, read + "5 (SIGTRAP)", {}, -SIGTRAP);
    row("a seccomp kill", raiseInRead<SIGSYS>, read + "31 (SIGSYS)", {}, -SIGSYS);
    row("a write to a closed pipe", raiseInRead<SIGPIPE>, ended + "13 (SIGPIPE)", {}, -SIGPIPE);
    row("its own alarm", raiseInRead<SIGALRM>, ended + "14 (SIGALRM)", {}, -SIGALRM);
    row("a file size limit", raiseInRead<SIGXFSZ>, ended + "25 (SIGXFSZ)", {}, -SIGXFSZ);
    row("SIGTERM to itself", raiseInRead<SIGTERM>, ended + "15 (SIGTERM)", {}, -SIGTERM);
    row("SIGTERM from another process", termFromAnotherProcess, {}, "idcardshow:", -SIGTERM);
    row("crash signals left blocked", crashAfterBlocking, read + "11 (SIGSEGV)", {}, -SIGSEGV);
    row("its thread crashing after the call", threadCrashAfterReturn,
        "the process crashed outside any driver call, in thread ", {}, -SIGSEGV);
    row("fd 2 replaced by its log", crashWithLogOnStandardError, "crashed in ICC_Reader_Open: signal 11", {}, -SIGSEGV);
    row("every descriptor closed", everyDescriptorClosedThenCrash, "crashed in ICC_Reader_Open: signal 11", {}, -SIGSEGV);
    row("half a line, then exit", halfLineThenExit,
        "vendor: reading\nidcardshow: the driver library ended the process in ICC_ReadBaseMsgData: exit status 2\n", {}, 2);
    row("a forked copy that calls exit", forkInCall<exitThree>, "window goes on", "idcardshow:", 0);
    row("a forked copy that returns", forkInCall<returnFromCall>, "window goes on", "copy goes on", 0);
    row("a forked copy that crashes", forkInCall<crash>, "window goes on", "idcardshow:", 0);
    const QByteArray overran = "\nidcardshow: the driver library wrote past the end of its record buffer (3920 bytes) in ICC_ReadBaseMsgData: ";
    row("an overrun within the guard", overrunOfRecord<180>, overran + "at least 180 bytes; the read failed\nwindow goes on", {}, 0);
    row("an overrun past the guard", overrunOfRecord<GuardBytes>,
        overran + "more than 16383 bytes, over other memory of the process; the window ends\n", "window goes on", EXIT_FAILURE);
}

void LastWordTest::lastWord()
{
    QFETCH(void *, behaviour);
    QFETCH(QByteArray, said);
    QFETCH(QByteArray, neverSaid);
    QFETCH(int, ending);
    if (behaviour == reinterpret_cast<void *>(threadCrashAfterReturn) && emulated())
        QSKIP("qemu-user asserts when a thread of the program it runs crashes");
    const auto result = runAsWindow(reinterpret_cast<void (*)()>(behaviour));
    if (!said.isEmpty())
        QVERIFY2(result.first.contains(said), result.first.constData());
    if (!neverSaid.isEmpty())
        QVERIFY2(!result.first.contains(neverSaid), result.first.constData());
    QCOMPARE(result.second, ending);
}

QTEST_APPLESS_MAIN(LastWordTest)
#include "tst_lastword.moc"
