#pragma once

// Where the password for the devices comes from. Never from an argument: other users can
// read a process's arguments.

#include "cli/exitstatus.h"
#include "cli/terminal.h"

#include <QByteArray>
#include <QString>

inline constexpr char kPasswordVariable[] = "TARNVALE_PASSWORD";
inline constexpr int kLongestPasswordFile = 4096; // bytes read of a password file

// The password a file holds: its first line, a CR before the LF dropped (Windows line ends).
QString passwordFromFile(const QByteArray &bytes);

// Whether group or others may read a file with these permission bits (none on Windows, whose
// files have access lists instead, which readInput() does not judge).
bool readableByOthers(unsigned mode);

// A file of secrets (what: "password file") that group or others can read: a warning for
// stderr, or with strict ExitUsage and the reason.
Outcome checkExposure(const QString &what, const QString &name, unsigned mode, bool strict, QString *warning);

struct PasswordSource
{
    QString file;                     // "-": standard input; empty: none named
    bool strict = false;              // refuse a password file that others can read
    bool standardInputTaken = false;  // the plan came from there: no prompt
};

// The first line of the password file when one is named; else the environment variable;
// else, and for "-" on a terminal, what is typed at a prompt that does not echo
// (the echo comes back whatever signal ends or stops the prompt). A warning, for stderr,
// when others can read the file. ExitUsage with the reason when no password that is not
// empty is to be had, or the file is refused.
Outcome obtainPassword(const PasswordSource &source, QString *password, QString *warning);
