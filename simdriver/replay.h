#pragma once

#include <cstddef>
#include <string>

namespace kestrelsim {

// A replay folder: a capture that people mail to each other, so hostile input. Only regular
// files directly inside it are read, opened relative to it, never through a link and never
// blocking. A link, folder, FIFO, device or socket in a file's place is refused and named, with
// the reason, on standard error; a missing file is not an error and is read as absent.
class ReplayFolder
{
public:
    explicit ReplayFolder(const std::string &path);
    ~ReplayFolder();
    ReplayFolder(const ReplayFolder &) = delete;
    ReplayFolder &operator=(const ReplayFolder &) = delete;

    // Up to `room` bytes of the named file; the count read, or -1 when it is absent or refused.
    long read(const std::string &name, void *into, size_t room) const;

    // Copies the first file named photo.* (names compared bytewise) into the simulator's private
    // folder, where no one else can swap it before the program opens it; the copy's absolute
    // path, or empty when there is none to copy.
    std::string copyPhoto() const;

private:
    int folder;
};

}
