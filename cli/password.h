#pragma once

// Where the password for the devices comes from. Never from an argument: other users can
// read a process's arguments.

#include <QString>

inline constexpr char kPasswordVariable[] = "TARNVALE_PASSWORD";

// The first line of passwordFile when one is named; else the environment variable; else,
// when standard input is a terminal, what is typed at a prompt that does not echo. False,
// with the reason, when none of these gives a password that is not empty.
bool obtainPassword(const QString &passwordFile, QString *password, QString *error);
