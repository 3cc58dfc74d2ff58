#pragma once

#include <QStringList>

#include <optional>

enum class CommandLineAnswer { Start, Help, Version };

// What the arguments (the program's name first) ask for. What the parser does not know is
// the toolkit's (-platform, -style, -reverse, ...) and starts the program as before.
CommandLineAnswer commandLineAnswer(const QStringList &arguments);

// Answers --help and --version without opening a display: the exit status, or nothing
// when the program is to start.
std::optional<int> answerCommandLine(int argc, char *argv[]);
