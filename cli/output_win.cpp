#include "cli/output.h"

#include <cstdio>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace {

bool isOpen(int fd)
{
    return fd >= 0 && _get_osfhandle(fd) != intptr_t(INVALID_HANDLE_VALUE) && _get_osfhandle(fd) != -2;
}

// The console shows what the program writes as UTF-8 while it runs, and then as before.
class ConsoleInUtf8
{
public:
    ConsoleInUtf8() : previous(GetConsoleOutputCP())
    {
        if (previous)
            SetConsoleOutputCP(CP_UTF8);
    }
    ~ConsoleInUtf8()
    {
        if (previous)
            SetConsoleOutputCP(previous);
    }
    ConsoleInUtf8(const ConsoleInUtf8 &) = delete;
    ConsoleInUtf8 &operator=(const ConsoleInUtf8 &) = delete;

private:
    UINT previous;
};

} // namespace

bool standardStreamsUsable()
{
    if (!isOpen(_fileno(stdin)))
        std::freopen("NUL", "rb", stdin);
    if (!isOpen(_fileno(stderr)))
        return false;
    if (!isOpen(_fileno(stdout))) {
        std::fputs("tarnvale-cli: standard output is closed\n", stderr);
        return false;
    }
    // Binary: text mode would write each "\n" as "\r\n", the CSV's "\r\n" as "\r\r\n", and end
    // standard input at a Ctrl+Z.
    for (FILE *stream : {stdin, stdout, stderr})
        _setmode(_fileno(stream), _O_BINARY);
    static const ConsoleInUtf8 utf8;
    return true;
}
