#include "cli/output.h"

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

namespace {

bool isOpen(int fd)
{
    return fcntl(fd, F_GETFD) != -1 || errno != EBADF;
}

} // namespace

bool standardStreamsUsable()
{
    if (!isOpen(STDIN_FILENO))
        open("/dev/null", O_RDONLY); // takes the lowest free number: 0
    if (!isOpen(STDERR_FILENO))
        return false;
    if (!isOpen(STDOUT_FILENO)) {
        std::fputs("tarnvale-cli: standard output is closed\n", stderr);
        return false;
    }
    return true;
}
