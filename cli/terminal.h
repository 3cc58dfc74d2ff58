#pragma once

// The terminal and the process's memory, where the password passes. One source file per system
// (terminal_unix.cpp, terminal_win.cpp: the console).

#include <QByteArray>

// Whether standard input is a terminal.
bool inputIsTerminal();

// Writes the prompt on standard error and reads one line from standard input (its line end
// dropped) without echo when that is a terminal; whatever signal ends or stops the prompt
// gives the terminal its echo back, and after a stop the prompt goes on without echo.
QByteArray readWithoutEcho(const char *prompt);

// From now on a crash leaves no core file, where a password could be read: called before a
// command reads one.
void keepSecretsOutOfCoreFiles();
