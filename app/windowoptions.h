#pragma once

#include <QStringList>

#include <optional>

enum class CommandLineAnswer { Start, Help, Version, Mistake };

// What the arguments (the program's name first) ask for. The toolkit's own options
// (-platform, -style, -reverse, ...) start the program as before; an option that neither
// knows, or one without its value, is a mistake.
CommandLineAnswer commandLineAnswer(const QStringList &arguments);

// Answers --help and --version without opening a display, and a mistake with the usage on
// standard error and status 2: the exit status, or nothing when the program is to start.
std::optional<int> answerCommandLine(int argc, char *argv[]);
