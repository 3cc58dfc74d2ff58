#include "commissioning/reportfile.h"

#include <QFileInfo>

#include <io.h>
#include <windows.h>

namespace {

HANDLE handleOf(qintptr handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

bool writeAll(HANDLE file, const QByteArray &bytes)
{
    for (qint64 done = 0; done < bytes.size();) {
        DWORD written = 0;
        const DWORD chunk = DWORD(qMin<qint64>(bytes.size() - done, 1 << 30));
        if (!WriteFile(file, bytes.constData() + done, chunk, &written, nullptr))
            return false;
        done += written;
    }
    return true;
}

// Others may read, write, rename and remove the report while it is written, as on Linux; a
// second run with the same report is kept out by the report's own rules.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

const wchar_t *native(const QString &path)
{
    return reinterpret_cast<const wchar_t *>(path.utf16());
}

// Ctrl+C, Ctrl+Break and the console's closing wait while it lives, as the interrupt guard's
// handler runs after this one: the temporary file of a replace is not left behind. Windows
// calls the handlers on a thread of their own, the last one installed first.
class SignalsHeld
{
public:
    SignalsHeld()
    {
        ResetEvent(done());
        SetConsoleCtrlHandler(wait, TRUE);
    }
    ~SignalsHeld()
    {
        SetEvent(done());
        SetConsoleCtrlHandler(wait, FALSE);
    }
    SignalsHeld(const SignalsHeld &) = delete;
    SignalsHeld &operator=(const SignalsHeld &) = delete;

private:
    static HANDLE done()
    {
        static const HANDLE event = CreateEventW(nullptr, TRUE, TRUE, nullptr);
        return event;
    }
    static BOOL WINAPI wait(DWORD)
    {
        WaitForSingleObject(done(), INFINITE);
        return FALSE; // on to the next handler
    }
};

// Write-through: the rename is on the disk when the call returns. A file that another program
// has open without letting others remove it (a virus scanner glancing at a new file, a viewer)
// cannot be replaced: the scanner lets go within moments, and so the move is tried for a second.
bool moveOver(const QString &from, const QString &to)
{
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (MoveFileExW(native(from), native(to), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        const DWORD error = GetLastError();
        if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION)
            return false;
        Sleep(50);
        SetLastError(error);
    }
    return false;
}

} // namespace

ReportFile::~ReportFile()
{
    close();
}

bool ReportFile::fail(Step step, int error)
{
    failed = step;
    text = qt_error_string(error).trimmed();
    return false;
}

bool ReportFile::create(const QString &path, const QByteArray &bytes)
{
    close();
    const HANDLE file = CreateFileW(native(QFileInfo(path).absoluteFilePath()), FILE_APPEND_DATA, kShareAll,
                                    nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return fail(error == ERROR_FILE_EXISTS ? Step::Exists : Step::Create, int(error));
    }
    handle = reinterpret_cast<qintptr>(file);
    if (!append(bytes) || !sync()) {
        const Step step = failed;
        const QString why = text;
        close();
        DeleteFileW(native(path));
        failed = step;
        text = why;
        return false;
    }
    // NTFS puts a new name on the disk with the file's own metadata: no folder to sync.
    return true;
}

bool ReportFile::openForAppend(const QString &path)
{
    close();
    const HANDLE file = CreateFileW(native(QFileInfo(path).absoluteFilePath()), FILE_APPEND_DATA, kShareAll,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return fail(Step::Create, int(GetLastError()));
    handle = reinterpret_cast<qintptr>(file);
    return true;
}

bool ReportFile::append(const QByteArray &bytes)
{
    if (handle == -1)
        return fail(Step::Write, ERROR_INVALID_HANDLE);
    return writeAll(handleOf(handle), bytes) || fail(Step::Write, int(GetLastError()));
}

bool ReportFile::sync()
{
    if (handle == -1)
        return fail(Step::Sync, ERROR_INVALID_HANDLE);
    return FlushFileBuffers(handleOf(handle)) || fail(Step::Sync, int(GetLastError()));
}

void ReportFile::close()
{
    if (handle != -1)
        CloseHandle(handleOf(handle));
    handle = -1;
}

bool ReportFile::replace(const QString &path, const QByteArray &bytes)
{
    close();
    const QFileInfo info(path);
    const QString target = info.absoluteFilePath();
    const SignalsHeld held;
    QString temporary;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; file == INVALID_HANDLE_VALUE && attempt < 100; ++attempt) {
        temporary = QStringLiteral("%1/.%2.%3-%4")
                        .arg(info.absolutePath(), info.fileName())
                        .arg(GetCurrentProcessId())
                        .arg(attempt);
        file = CreateFileW(native(temporary), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS)
            break;
    }
    if (file == INVALID_HANDLE_VALUE)
        return fail(Step::Create, int(GetLastError()));

    Step step = Step::None;
    if (!writeAll(file, bytes))
        step = Step::Write;
    else if (!FlushFileBuffers(file))
        step = Step::Sync;
    DWORD error = GetLastError();
    if (!CloseHandle(file) && step == Step::None) {
        error = GetLastError();
        step = Step::Write;
    }
    if (step == Step::None && !moveOver(temporary, target)) {
        error = GetLastError();
        step = Step::Replace;
    }
    if (step != Step::None) {
        DeleteFileW(native(temporary));
        return fail(step, int(error));
    }
    return true;
}

bool syncToDisk(int descriptor, QString *error)
{
    const HANDLE file = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
    if (file != INVALID_HANDLE_VALUE && FlushFileBuffers(file))
        return true;
    *error = qt_error_string(int(GetLastError())).trimmed();
    return false;
}
