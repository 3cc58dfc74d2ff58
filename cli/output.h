#pragma once

// Output that is checked: a command whose output was lost must not end as a success. As
// coreutils' close_stdout does, the stream's error flag and its close count too.

#include <QByteArray>
#include <QString>

#include <cstdio>

class OutputStream
{
public:
    // name: how messages call it ("standard output").
    OutputStream(FILE *stream, const char *name);

    // Writes and flushes; false once any write to the stream has failed, and then nothing
    // more is written.
    bool write(const QByteArray &bytes);
    bool write(const QString &text) { return write(text.toUtf8()); }

    // Flushes and checks the stream's error flag; with closing, also closes it.
    bool finish(bool closing);
    bool ok() const { return errorNumber == 0; }
    // "cannot write to standard output: No space left on device"
    QString errorText() const;

private:
    bool failed();

    FILE *stream;
    const char *name;
    int errorNumber = 0;
};

// To be called before anything opens a file: a standard stream that the caller closed would
// lend its number to the next file or socket, and output would go there. False, with a
// message on standard error where it is open, when standard output or error is closed;
// a closed standard input gets /dev/null. A closed pipe then fails a write instead of
// ending the program.
bool standardStreamsUsable();
