#pragma once

#include <cerrno>
#include <fcntl.h>

// Puts /dev/null on each of the descriptors 0 to 2 that is closed, lowest first, so that the
// next file the process opens cannot take the number and receive what is meant for standard
// output or error. A library may close them: the X connection then took descriptor 2, and the
// next debug message went into it.
inline void reopenClosedStandardDescriptors()
{
    for (int fd = 0; fd <= 2; ++fd)
        if (fcntl(fd, F_GETFD) == -1 && errno == EBADF)
            open("/dev/null", O_RDWR);
}
