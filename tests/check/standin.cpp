// Stand-in driver libraries that misbehave as vendors' libraries do on site, or as a hostile one might. STANDIN lists what
// goes wrong as PLACE=ACTION pairs separated by commas. PLACE is "load" (the card library's
// constructor), "load-se32" (the social security library's) or a function's name. Otherwise
// they read a card whose photo is the file STANDIN_PHOTO names.

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#define EXPORT extern "C" __attribute__((visibility("default")))

extern "C" int kestrelusb_ready();

namespace {

const char Name[] = "王小明";
const char Number[] = "110101199003071233";

std::string actionAt(const std::string &place)
{
    const char *setting = std::getenv("STANDIN");
    const std::string all = std::string(",") + (setting ? setting : "") + ",";
    const auto at = all.find("," + place + "=");
    if (at == std::string::npos)
        return {};
    const auto start = at + place.size() + 2;
    return all.substr(start, all.find(',', start) - start);
}

void hang()
{
    signal(SIGTERM, SIG_IGN);
    signal(SIGALRM, SIG_IGN);
    for (;;)
        pause();
}

void onSegvExitZero(int)
{
    _exit(0);
}

bool isSocket(int fd)
{
    int type = 0;
    socklen_t size = sizeof type;
    return getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &size) == 0;
}

// A write whose outcome the stand-in does not look at; fortified glibc asks that someone does.
void writeBlindly(int fd, const void *bytes, size_t size)
{
    const ssize_t written = write(fd, bytes, size);
    static_cast<void>(written);
}

#ifndef SYS_pidfd_open
#define SYS_pidfd_open 434
#endif
#ifndef SYS_pidfd_send_signal
#define SYS_pidfd_send_signal 424
#endif

// Sends the check the signal through a descriptor for it, which names no pid a filter can see.
void signalCheckThroughPidfd(int signal)
{
    const long check = syscall(SYS_pidfd_open, getppid(), 0);
    if (check >= 0)
        syscall(SYS_pidfd_send_signal, int(check), signal, nullptr, 0);
}

// Prints each descriptor the process holds and what it names.
void listDescriptors()
{
    DIR *folder = opendir("/proc/self/fd");
    while (const dirent *entry = folder ? readdir(folder) : nullptr) {
        char target[512] = {};
        const std::string link = std::string("/proc/self/fd/") + entry->d_name;
        if (entry->d_name[0] != '.' && readlink(link.c_str(), target, sizeof target - 1) > 0)
            std::printf("fd %s -> %s\n", entry->d_name, target);
    }
    if (folder)
        closedir(folder);
    std::fflush(stdout);
}

// Writes the bytes into every socket the process holds: the check's channel among them.
void writeToSockets(const std::string &bytes)
{
    for (int fd = 3; fd < 256; ++fd)
        if (isSocket(fd))
            writeBlindly(fd, bytes.data(), bytes.size());
}

std::string littleEndian(uint64_t value, int bytes)
{
    std::string out;
    for (int i = 0; i < bytes; ++i)
        out += char(value >> (8 * i));
    return out;
}

// A Returned frame of ICC_Reader_Open, result 1, as the check's child would send it, but for
// the token, which the library cannot know.
std::string forgedReturn()
{
    const std::string payload = littleEndian(0, 8) + littleEndian(1, 8) + littleEndian(0, 8) + littleEndian(1000, 8);
    return std::string(1, '\x06') + littleEndian(0, 8) + littleEndian(payload.size(), 4) + payload;
}

// A helper that leaves the library's process group or session, and stays.
void leaveHelper(bool daemonize)
{
    const pid_t helper = fork();
    if (helper != 0) {
        waitpid(helper, nullptr, 0);
        return;
    }
    if (!daemonize) {
        setpgid(0, 0);
        if (fork() == 0)
            hang();
        _exit(0);
    }
    setsid();
    if (fork() == 0)
        hang();
    _exit(0);
}

void stealChannel()
{
    for (int fd = 3; fd < 256; ++fd)
        if (isSocket(fd))
            std::thread([fd] {
                char bytes[64];
                while (read(fd, bytes, sizeof bytes) > 0) {
                }
            }).detach();
}

void replaceChannel()
{
    int other[2];
    socketpair(AF_UNIX, SOCK_STREAM, 0, other);
    for (int fd = 3; fd < 256; ++fd)
        if (fd != other[0] && fd != other[1] && isSocket(fd))
            dup2(other[0], fd);
}

// What a library does wrong at a place; the action, for what the function itself does wrong.
std::string misbehave(const std::string &place)
{
    const std::string action = actionAt(place);
    volatile int *volatile nowhere = nullptr;
    if (action == "segv")
        *nowhere = 1;
    else if (action == "abort")
        std::abort();
    else if (action.rfind("exit:", 0) == 0)
        std::exit(std::atoi(action.c_str() + 5));
    else if (action == "hang")
        hang();
    else if (action.rfind("sleep:", 0) == 0)
        sleep(unsigned(std::atoi(action.c_str() + 6)));
    else if (action.rfind("close:", 0) == 0)
        close(std::atoi(action.c_str() + 6));
    else if (action == "own-segv-handler")
        signal(SIGSEGV, onSegvExitZero);
    else if (action == "print")
        std::printf("read %s %s\n\x1b[2Jdone", Name, Number);
    else if (action == "print-bytes")
        std::fwrite("nul\0after \xff\xfe\n", 1, 15, stdout);
    else if (action == "print-gbk")
        std::printf("%s\n", "\xb6\xc1\xbf\xa8\xc6\xf7\xb4\xed\xce\xf3"); // 读卡器错误, as a GBK library writes it
    else if (action == "hexdump")
        std::printf("name %s number %s\n", "E7 8E 8B E5 B0 8F E6 98 8E", "313130313031313939303033303731323333");
    else if (action == "flood")
        for (int i = 0; i < 200000; ++i)
            std::fputs("flooding standard output with a line of forty bytes\n", stdout);
    else if (action == "garble")
        for (int fd = 3; fd < 256; ++fd) {
            // Most numbers are no descriptor; the write that counts is to the check's channel.
            const ssize_t written = write(fd, "\x03\xff\xff\xff\x7fgarbage", 12);
            static_cast<void>(written);
        }
    else if (action == "close-all")
        for (int fd = 3; fd < 256; ++fd)
            close(fd);
    else if (action == "leave-child" && fork() == 0)
        hang();
    else if (action == "leave-group" || action == "daemonize")
        leaveHelper(action == "daemonize");
    else if (action == "daemon" && daemon(1, 1) != 0)
        return action;
    else if (action == "fork")
        fork();
    else if (action == "list-fds")
        listDescriptors();
    else if (action.rfind("pidfd-signal-check:", 0) == 0)
        signalCheckThroughPidfd(std::atoi(action.c_str() + 19));
    else if (action == "limit-check") {
        const rlimit none{0, 0};
        prlimit(getppid(), RLIMIT_NOFILE, &none, nullptr);
    }
    else if (action.rfind("raise:", 0) == 0)
        raise(std::atoi(action.c_str() + 6));
    else if (action == "stop")
        raise(SIGSTOP);
    else if (action == "traceme-segv" && ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) == 0)
        *nowhere = 1;
    else if (action == "half-header")
        writeToSockets(std::string(1, '\x06') + littleEndian(0, 8) + littleEndian(4096, 4)); // a header, and no more
    else if (action == "forge")
        writeToSockets(forgedReturn());
    else if (action == "steal-channel")
        stealChannel();
    else if (action == "replace-channel")
        replaceChannel();
    else if (action.rfind("signal-check:", 0) == 0)
        kill(getppid(), std::atoi(action.c_str() + 13));
    else if (action == "tty") {
        const int terminal = open("/dev/tty", O_WRONLY);
        writeBlindly(terminal, "Result: everything was read (exit code 0).\n", 43);
    } else if (action == "print-dumpable")
        std::printf("dumpable %d\n", prctl(PR_GET_DUMPABLE));
    else if (action == "use-up-descriptors")
        while (dup(0) >= 0) {
        }
    else if (action == "lower-descriptor-limit") {
        const rlimit few{3, 3};
        setrlimit(RLIMIT_NOFILE, &few);
    } else if (action == "load-backend")
        dlopen("libKestrelBackend.so.0", RTLD_NOW);
    else if (action == "odd-errno")
        errno = 123456;
    return action;
}

// An action "overrun:N" writes N bytes into the buffer, whatever its size.
void overrun(void *buffer, const std::string &action)
{
    if (action.rfind("overrun:", 0) == 0)
        std::memset(buffer, 0xee, size_t(std::atoi(action.c_str() + 8)));
}

void put(unsigned char *record, int offset, const char *text)
{
    std::memcpy(record + offset, text, std::strlen(text));
}

__attribute__((constructor)) void loading()
{
    misbehave(STANDIN_LOAD_PLACE);
}

}

EXPORT int32_t ICC_Reader_Open(const char *)
{
    if (misbehave("ICC_Reader_Open") == "eacces") {
        errno = EACCES;
        return -1;
    }
    return kestrelusb_ready();
}

EXPORT int32_t ICC_GetSAMIDToStr(intptr_t, char *samId)
{
    overrun(samId, misbehave("ICC_GetSAMIDToStr"));
    return 0;
}

EXPORT int32_t ICC_Reader_PowerOff(intptr_t, int32_t)
{
    misbehave("ICC_Reader_PowerOff");
    return 0;
}

EXPORT int32_t ICC_Reader_PowerOn(intptr_t, int32_t, unsigned char *reply)
{
    overrun(reply, misbehave("ICC_Reader_PowerOn"));
    return 0;
}

EXPORT int32_t ICC_Authenticate(intptr_t)
{
    misbehave("ICC_Authenticate");
    return 0;
}

EXPORT int32_t ICC_ReadBaseMsgData(intptr_t, int32_t, char *photoPath, unsigned char *record)
{
    const std::string action = misbehave("ICC_ReadBaseMsgData");
    const char *photo = std::getenv("STANDIN_PHOTO");
    if (action == "photo-gone")
        photo = "/nonexistent/standin/photo.bmp";
    else if (action == "photo-named-after-holder")
        photo = "/nonexistent/110101199003071233_王小明.bmp";
    else if (action == "photo-relative")
        photo = "standin-photo.bmp";
    std::snprintf(photoPath, 300, "%s", photo ? photo : "");
    put(record, 4, Name);
    put(record, 148, Number);
    overrun(record, action);
    return 0;
}

EXPORT int32_t ICC_Reader_Close()
{
    misbehave("ICC_Reader_Close");
    return 0;
}

EXPORT int64_t iReadCardBas_noPasam(int32_t, int32_t, char *data)
{
    const std::string action = misbehave("iReadCardBas_noPasam");
    std::snprintf(data, 1025, "社会保障卡|%s|%s", Number, Name);
    overrun(data, action);
    return 0;
}
