#pragma once

// What the user names as input: a file, or standard input for "-".

#include <QByteArray>
#include <QString>

inline constexpr char kStandardInput[] = "-";

// "standard input" for "-", else the path: how messages name the input.
QString inputName(const QString &path);

// Reads path ("-": standard input) up to its end, but never more than limit bytes, so that
// /dev/zero or a huge file cannot fill the memory. *mode gets the permission bits of a
// regular file, 0 for anything else (a pipe, a terminal). False, with the reason, when it
// cannot be opened or read.
bool readInput(const QString &path, int limit, QByteArray *bytes, QString *error, unsigned *mode = nullptr);
