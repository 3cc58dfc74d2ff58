#pragma once

// The report's file on the disk, the part of writing it that belongs to the operating system:
// appended to as a run goes, each sync() on the disk before it returns, and replaced whole,
// atomically, at the end. One source file per system (reportfile_unix.cpp, reportfile_win.cpp),
// chosen by CMake.

#include <QByteArray>
#include <QString>

class ReportFile
{
public:
    // What failed, for the message that says so.
    enum class Step { None, Exists, Create, Write, Sync, Replace, SyncFolder };

    ReportFile() = default;
    ~ReportFile();
    ReportFile(const ReportFile &) = delete;
    ReportFile &operator=(const ReportFile &) = delete;

    // Creates the file, which must not exist yet (Step::Exists), with these bytes on the disk,
    // its name in the folder too, and keeps it open for append().
    bool create(const QString &path, const QByteArray &bytes);
    // Opens a file that exists for append().
    bool openForAppend(const QString &path);
    // Writes all the bytes at the end of the file, or fails; on the disk by the next sync().
    bool append(const QByteArray &bytes);
    bool sync();
    void close();

    // Replaces the file at path by the bytes in one step: a temporary file in the same folder,
    // written and synced, renamed over the file, and the folder synced. The file open here is
    // closed first (Windows renames nothing over an open file). The signals that end
    // the program wait meanwhile, so that none leaves the temporary file behind. False when
    // any step failed, the file then as it was.
    bool replace(const QString &path, const QByteArray &bytes);

    Step failedStep() const { return failed; }
    // The system's own words for the failure ("No space left on device", "There is not enough
    // space on the disk.").
    QString systemText() const { return text; }

private:
    bool fail(Step step, int error);

    qintptr handle = -1;
    Step failed = Step::None;
    QString text;
};

// Puts what was written through an open file's descriptor (QFileDevice::handle()) on the disk:
// false, with the system's words, when it could not be (a full disk that allocates late).
bool syncToDisk(int descriptor, QString *error);
