#include "replay.h"

#include "cardtext.h"
#include "portrait.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kestrelsim {

namespace {

// The window reads at most 1 MiB of a photo; one byte more keeps an oversized photo oversized
// in its copy, and bounds what a huge file costs the copy.
constexpr size_t PhotoCopyRoom = 1024 * 1024 + 1;

// A crafted name must not move a terminal's cursor, retitle it or reorder its line.
std::string printable(const std::string &name)
{
    return terminalName(QByteArray::fromStdString(name)).toStdString();
}

void refuse(const std::string &name, const char *why)
{
    std::fprintf(stderr, "KESTREL_SIM replay: %s not read: %s; only regular files directly in the folder are read\n",
                 printable(name).c_str(), why);
}

const char *kindOf(mode_t mode)
{
    if (S_ISLNK(mode))
        return "it is a link";
    if (S_ISDIR(mode))
        return "it is a folder";
    if (S_ISFIFO(mode))
        return "it is a FIFO";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "it is a device";
    if (S_ISSOCK(mode))
        return "it is a socket";
    return "it is not a regular file";
}

// A descriptor of the regular file `name` directly in the folder, or -1. Its kind is checked
// before the open, so that a FIFO or device is never opened, and again through the descriptor,
// in case the name was swapped in between.
int openRegular(int folder, const std::string &name)
{
    struct stat info;
    if (fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno != ENOENT)
            refuse(name, std::strerror(errno));
        return -1;
    }
    if (!S_ISREG(info.st_mode)) {
        refuse(name, kindOf(info.st_mode));
        return -1;
    }
    const int fd = openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        refuse(name, errno == ELOOP ? kindOf(S_IFLNK) : std::strerror(errno));
        return -1;
    }
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        refuse(name, kindOf(info.st_mode));
        close(fd);
        return -1;
    }
    return fd;
}

long readUpTo(int fd, void *into, size_t room)
{
    size_t count = 0;
    while (count < room) {
        const ssize_t got = ::read(fd, static_cast<char *>(into) + count, room - count);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        count += size_t(got);
    }
    return long(count);
}

// Calls `use` with the name of every entry of the folder but "." and "..".
void forEachName(int folder, const std::function<void(const std::string &)> &use)
{
    // A descriptor of its own: closedir closes it, and the listing starts at the beginning.
    const int listing = openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR *dir = listing < 0 ? nullptr : fdopendir(listing);
    if (!dir) {
        if (listing >= 0)
            close(listing);
        return;
    }
    while (const dirent *entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            use(name);
    }
    closedir(dir);
}

// Only the least name is kept, so a folder of many photo.* entries costs no memory.
std::string firstPhotoName(int folder)
{
    std::string first;
    forEachName(folder, [&](const std::string &name) {
        if (name.rfind("photo.", 0) == 0 && (first.empty() || name < first))
            first = name;
    });
    return first;
}

// Writes the bytes as `name` into the private folder's "replay" folder, which keeps only the
// last photo replayed; the file's path, or empty.
std::string writeCopy(const std::string &name, const std::vector<char> &bytes)
{
    const std::string base = privateFolder();
    if (base.empty())
        return {};
    const std::string copiesPath = base + "/replay";
    mkdir(copiesPath.c_str(), 0700);
    const int copies = open(copiesPath.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (copies < 0)
        return {};
    forEachName(copies, [&](const std::string &old) { unlinkat(copies, old.c_str(), 0); });
    const int fd = openat(copies, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    bool written = fd >= 0 && write(fd, bytes.data(), bytes.size()) == ssize_t(bytes.size());
    if (fd >= 0 && close(fd) != 0)
        written = false;
    if (!written)
        unlinkat(copies, name.c_str(), 0);
    close(copies);
    return written ? copiesPath + "/" + name : std::string();
}

}

ReplayFolder::ReplayFolder(const std::string &path)
    : folder(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC))
{
    if (folder < 0)
        std::fprintf(stderr, "KESTREL_SIM replay: the folder cannot be opened: %s\n", std::strerror(errno));
}

ReplayFolder::~ReplayFolder()
{
    if (folder >= 0)
        close(folder);
}

long ReplayFolder::read(const std::string &name, void *into, size_t room) const
{
    const int fd = folder < 0 ? -1 : openRegular(folder, name);
    if (fd < 0)
        return -1;
    const long count = readUpTo(fd, into, room);
    close(fd);
    return count;
}

std::string ReplayFolder::copyPhoto() const
{
    const std::string name = folder < 0 ? std::string() : firstPhotoName(folder);
    if (name.empty())
        return {};
    std::vector<char> bytes(PhotoCopyRoom);
    const long count = read(name, bytes.data(), bytes.size());
    if (count < 0)
        return {};
    bytes.resize(size_t(count));
    return writeCopy(name, bytes);
}

}
