#include "cli/output.h"

#include <cerrno>
#include <csignal>
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
    // A reader that went away (head, a closed less) makes the writes fail and say so, and
    // the program ends with its status for output, instead of dying silently of SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);
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
