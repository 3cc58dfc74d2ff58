#pragma once

#include <optional>

// Answers --help and --version without opening a display: the exit status, or nothing
// when the program is to start. Other arguments are left to the toolkit (-platform, ...).
std::optional<int> answerCommandLine(int argc, char *argv[]);
