#include "cli/terminal.h"

#include <QString>

#include <cstdio>
#include <string>

#include <windows.h>

namespace {

HANDLE input()
{
    return GetStdHandle(STD_INPUT_HANDLE);
}

DWORD savedMode = 0;

// Whatever ends the program while the echo is off gives the console its echo back: the console
// is shared with the shell that started the program.
BOOL WINAPI restoreConsole(DWORD)
{
    SetConsoleMode(input(), savedMode);
    return FALSE; // on to the next handler, which ends the program
}

} // namespace

bool inputIsTerminal()
{
    DWORD mode = 0;
    return GetConsoleMode(input(), &mode);
}

QByteArray readWithoutEcho(const char *prompt)
{
    std::fputs(prompt, stderr);
    std::fflush(stderr);
    if (!GetConsoleMode(input(), &savedMode)) {
        std::string typed;
        for (int c = std::fgetc(stdin); c != EOF && c != '\n'; c = std::fgetc(stdin))
            typed.push_back(char(c));
        return QByteArray::fromStdString(typed);
    }
    SetConsoleCtrlHandler(restoreConsole, TRUE);
    SetConsoleMode(input(), (savedMode | ENABLE_LINE_INPUT | ENABLE_PROCESSED_INPUT) & ~DWORD(ENABLE_ECHO_INPUT));
    // Wide characters: the console's code page may have no letter for what was typed.
    std::wstring typed;
    wchar_t buffer[256];
    DWORD got = 0;
    while (ReadConsoleW(input(), buffer, DWORD(std::size(buffer)), &got, nullptr) && got > 0) {
        typed.append(buffer, got);
        if (typed.find(L'\n') != std::wstring::npos)
            break;
    }
    SetConsoleMode(input(), savedMode);
    SetConsoleCtrlHandler(restoreConsole, FALSE);
    std::fputs("\n", stderr); // the line end that was not echoed
    typed = typed.substr(0, typed.find_first_of(L"\r\n"));
    return QString::fromStdWString(typed).toUtf8();
}

void keepSecretsOutOfCoreFiles()
{
    // Windows writes a crash dump of a program only where an administrator has asked for them
    // (Windows Error Reporting's LocalDumps), for every program alike: nothing to turn off here.
}
