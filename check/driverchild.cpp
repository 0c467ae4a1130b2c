#include "driverchild.h"

#include "childprotocol.h"
#include "endingsignals.h"
#include "hookeddriver.h"
#include "photo.h"
#include "signalguard.h"
#include "standarddescriptors.h"

#include <QSet>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// Exported by the project's simulated reader only; the vendor's libraries have no such symbol.
const char *const SimulatorMarker = "kestrel_simulator_marker";

int channel = -1;
ChildNotes *notes = nullptr;
pid_t childPid = 0;
// The token the parent gave for the next frame.
Token token = 0;
// The library or call the child is in, or was in last, for a forked copy's note.
int currentStep = 0;

[[noreturn]] void channelBroken()
{
    notes->channelBroken = 1;
    _exit(ChannelBrokenStatus);
}

// Which file a descriptor is, to tell when the vendor's code closed or replaced it.
struct FileIdentity {
    bool open = false;
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FileIdentity &other) const
    {
        return open == other.open && device == other.device && inode == other.inode;
    }
};

FileIdentity identityOf(int fd)
{
    struct stat info;
    if (fstat(fd, &info) != 0)
        return {};
    return {true, info.st_dev, info.st_ino};
}

FileIdentity channelIdentity;

// A copy the library forked, back in the check's code, must not speak for the child: it notes
// where it was for the parent and ends without running anything of the process's.
void endForkedCopy(Message type)
{
    if (getpid() == childPid)
        return;
    notes->forkedCopyStep = currentStep;
    notes->forkedCopyMessage = int(type);
    _exit(0);
}

void receiveToken()
{
    while (sem_wait(&notes->answered) != 0 && errno == EINTR) {
    }
    token = notes->nextToken;
}

// Writes a whole frame and waits until the parent has taken it in, so that the parent has
// all the library wrote before the frame when it reads the frame, and nothing written after.
// A channel that is gone, or another file in its place, ends the child: nothing can be reported.
void send(Message type, const Payload &payload = Payload())
{
    endForkedCopy(type);
    if (!(identityOf(channel) == channelIdentity))
        channelBroken();
    const QByteArray frame = payload.frame(type, token);
    for (int at = 0; at < frame.size();) {
        const ssize_t written = ::send(channel, frame.constData() + at, size_t(frame.size() - at), MSG_NOSIGNAL);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            channelBroken();
        at += int(written);
    }
    receiveToken();
}

qint64 nanosecondsNow()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

QByteArray workingFolder()
{
    char folder[PATH_MAX];
    return getcwd(folder, sizeof folder) ? QByteArray(folder) : QByteArray();
}

FileIdentity standardFiles[3];

void rememberStandardFiles()
{
    for (int fd = 0; fd <= 2; ++fd)
        standardFiles[fd] = identityOf(fd);
}

rlim_t startingFileLimit = 0;

rlim_t fileLimit()
{
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    return limit.rlim_cur;
}

// Reports when no file can be opened after the last step: the library used up the open files,
// or lowered their limit, and whatever the process opens next fails.
void reportFilesUsedUp()
{
    const int probe = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (probe >= 0) {
        close(probe);
        return;
    }
    if (errno == EMFILE || errno == ENFILE)
        send(Message::Descriptors, Payload().integer(qint64(qMin<rlim_t>(startingFileLimit, INT_MAX)))
                                       .integer(qint64(qMin<rlim_t>(fileLimit(), INT_MAX))));
}

// Reports each standard descriptor the last step closed or replaced, then puts /dev/null on a
// closed one, so that nothing opened later takes its number.
void reportStandardDescriptors()
{
    reportFilesUsedUp();
    for (int fd = 0; fd <= 2; ++fd) {
        const FileIdentity now = identityOf(fd);
        if (!(now == standardFiles[fd]))
            send(Message::Descriptor, Payload().integer(fd).integer(now.open ? 0 : 1));
    }
    reopenClosedStandardDescriptors();
    rememberStandardFiles();
}

bool isSimulator(void *handle, const char *path)
{
    void *marker = dlsym(handle, SimulatorMarker);
    Dl_info info;
    return marker && dladdr(marker, &info) && info.dli_fname && qstrcmp(info.dli_fname, path) == 0;
}

void *load(DriverLibrary library)
{
    send(Message::Loading, Payload().integer(int(library)));
    currentStep = int(library);
    const qint64 started = nanosecondsNow();
    void *handle = dlopen(sonameOf(library), RTLD_NOW | RTLD_GLOBAL);
    const qint64 elapsed = nanosecondsNow() - started;
    QByteArray text;
    bool simulated = false;
    if (handle) {
        link_map *map = nullptr;
        dlinfo(handle, RTLD_DI_LINKMAP, &map);
        text = map ? QByteArray(map->l_name) : QByteArray();
        simulated = isSimulator(handle, text.constData());
    } else {
        const char *reason = dlerror();
        text = reason ? QByteArray(reason) : QByteArray();
    }
    send(Message::Loaded, Payload().integer(int(library)).integer(handle != nullptr).integer(simulated).integer(elapsed)
                              .bytes(text.left(MaxTextBytes)));
    reportStandardDescriptors();
    return handle;
}

QSet<QByteArray> loadedObjects()
{
    QSet<QByteArray> objects;
    dl_iterate_phdr([](dl_phdr_info *info, size_t, void *data) {
        if (info->dlpi_name && info->dlpi_name[0])
            static_cast<QSet<QByteArray> *>(data)->insert(QByteArray(info->dlpi_name).left(MaxTextBytes));
        return 0;
    }, &objects);
    return objects;
}

// The files loaded so far, once they were reported.
QSet<QByteArray> knownObjects;

// Reports the files loaded since the last report, if any or when `always`.
void sendObjectsBroughtIn(bool always)
{
    const QSet<QByteArray> now = loadedObjects();
    QList<QByteArray> paths = (now - knownObjects).values();
    knownObjects = now;
    if (paths.isEmpty() && !always)
        return;
    std::sort(paths.begin(), paths.end());
    paths = paths.mid(0, MaxObjects);
    Payload payload;
    payload.integer(paths.size());
    for (const QByteArray &path : paths)
        payload.bytes(path);
    send(Message::Objects, payload);
}

DriverFunctions &loadedFunctions()
{
    static DriverFunctions functions{};
    return functions;
}

// Looks a function up; true when the library loaded but lacks it.
template<typename Function>
bool lacks(void *library, DriverCall call, Function &function)
{
    function = library ? reinterpret_cast<Function>(dlsym(library, driverCallName(call))) : nullptr;
    return library && !function;
}

qint64 findFunctions(void *card, void *social)
{
    DriverFunctions &f = loadedFunctions();
    const bool missing[] = {lacks(card, DriverCall::Open, f.open),
                            lacks(card, DriverCall::GetSamId, f.getSamId),
                            lacks(card, DriverCall::PowerOff, f.powerOff),
                            lacks(card, DriverCall::PowerOn, f.powerOn),
                            lacks(card, DriverCall::Authenticate, f.authenticate),
                            lacks(card, DriverCall::ReadBaseMessage, f.readBaseMessage),
                            lacks(card, DriverCall::Close, f.close),
                            lacks(social, DriverCall::ReadSocial, f.readSocial)};
    qint64 mask = 0;
    for (int call = 0; call < int(sizeof missing); ++call)
        mask |= qint64(missing[call]) << call;
    return mask;
}

// Reports each call of the reads before it runs and after it returns.
struct ReportingHooks {
    static const DriverFunctions &driver() { return loadedFunctions(); }
    static void before(DriverCall call)
    {
        send(Message::Calling, Payload().integer(int(call)));
        currentStep = int(call);
        started = nanosecondsNow();
        errno = 0;
    }
    static void after(DriverCall call, int64_t result)
    {
        const int error = errno;
        const qint64 elapsed = nanosecondsNow() - started;
        send(Message::Returned, Payload().integer(int(call)).integer(result).integer(error).integer(elapsed));
        // A library may load a back end of its own during a call.
        sendObjectsBroughtIn(false);
        reportStandardDescriptors();
    }
    static qint64 started;
};
qint64 ReportingHooks::started = 0;

QByteArray startFolder;

// What the base message read returned, and the photo file it names, opened while the reader
// is still open, as the window opens it.
void sendIdCard(const IdCardRead &read)
{
    const QByteArray path = bytesInRoom(read.photoPath, PhotoPathBufferSize);
    const PhotoFile photo = openPhotoFile(path);
    const QByteArray folder = workingFolder();
    struct stat info;
    const qint64 owner = !path.isEmpty() && stat(path.constData(), &info) == 0 ? qint64(info.st_uid) : -1;
    send(Message::IdCard, Payload()
                              .bytes(path)
                              .bytes(QByteArray(reinterpret_cast<const char *>(read.record), sizeof read.record))
                              .integer(photo.problem)
                              .integer(photo.error)
                              .integer(owner)
                              .integer(folder != startFolder)
                              .bytes(folder.left(MaxTextBytes))
                              .bytes(photo.bytes));
}

// Said at once, and nothing else of the read runs: memory past the guard may be overwritten,
// and the finish is sent from here, before returning through it.
[[noreturn]] void sendOverrun(const Overrun &overrun)
{
    send(Message::Overrun, Payload().integer(int(overrun.call)).integer(int(overrun.buffer)).integer(overrun.beyond));
    std::fflush(stdout);
    send(Message::Finished);
    _exit(0);
}

void read()
{
    const DriverFunctions driver = hookedDriver<ReportingHooks>();
    const auto unobserved = [](DriverCall, int64_t) {};
    const IdCardRead card = readIdCard(driver, unobserved, sendIdCard);
    if (card.overrun.happened())
        return sendOverrun(card.overrun);
    if (card.opened)
        send(Message::SamId, Payload().bytes(bytesInRoom(card.samId, SamIdBufferSize)));
    const SocialRead social = readSocialCard(driver, unobserved);
    if (social.overrun.happened())
        return sendOverrun(social.overrun);
    if (social.read)
        send(Message::Social, Payload().bytes(QByteArray(social.data, sizeof social.data)));
}

// Leaves the child only 0 to 2 and the channel: the vendor's code gets nothing of the parent's,
// neither its terminal nor a capture folder.
void closeInheritedDescriptors()
{
    std::vector<int> inherited;
    if (DIR *folder = opendir("/proc/self/fd")) {
        while (const dirent *entry = readdir(folder)) {
            char *end = nullptr;
            const long fd = std::strtol(entry->d_name, &end, 10);
            if (end != entry->d_name && *end == '\0' && fd > 2 && fd != channel && fd != dirfd(folder))
                inherited.push_back(int(fd));
        }
        closedir(folder);
    }
    for (int fd : inherited)
        close(fd);
}

void takeDescriptors(int output, int error)
{
    const int null = open("/dev/null", O_RDWR);
    dup2(null, STDIN_FILENO);
    dup2(output, STDOUT_FILENO);
    dup2(error, STDERR_FILENO);
    closeInheritedDescriptors();
    // As on a terminal, where the window's library usually writes: a line at a time.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
}

}

// Dies with the check, even if the check is killed; in a session of its own, without the
// check's controlling terminal, so that nothing the library writes to /dev/tty reaches it. Not
// dumpable in any build: this process holds the card's data, and no leak check runs in it.
void detachFromCheck(pid_t parent)
{
    restoreStartingSignalMask();
    prctl(PR_SET_DUMPABLE, 0);
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent)
        _exit(0);
    setsid();
}

void runDriverChild(int channelFd, int output, int error, pid_t parent, ChildNotes *childNotes)
{
    detachFromCheck(parent);
    forbidKillingOrStopping(parent);
    channel = channelFd;
    notes = childNotes;
    childPid = getpid();
    channelIdentity = identityOf(channel);
    startingFileLimit = fileLimit();
    receiveToken();
    takeDescriptors(output, error);
    rememberStandardFiles();
    startFolder = workingFolder();
    knownObjects = loadedObjects();
    void *card = load(DriverLibrary::Card);
    void *social = load(DriverLibrary::Social);
    const qint64 missing = findFunctions(card, social);
    if (missing)
        send(Message::MissingFunctions, Payload().integer(missing));
    sendObjectsBroughtIn(true);
    if (card && social && !missing)
        read();
    std::fflush(stdout);
    send(Message::Finished);
    _exit(0);
}
