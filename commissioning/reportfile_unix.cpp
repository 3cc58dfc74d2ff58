#include "commissioning/reportfile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A sync after an append that made the file longer writes its new size too; appends into
// room made beforehand spare most syncs that (about a third of their time on ext4).
constexpr qint64 kRoom = 64 * 1024;

bool writeAll(int fd, const QByteArray &bytes, qint64 at = -1)
{
    for (qint64 done = 0; done < bytes.size();) {
        const std::size_t left = std::size_t(bytes.size() - done);
        const ssize_t written = at < 0 ? ::write(fd, bytes.constData() + done, left)
                                       : ::pwrite(fd, bytes.constData() + done, left, at + done);
        if (written < 0 && errno != EINTR)
            return false;
        done += written > 0 ? written : 0;
    }
    return true;
}

// A rename or a new name is on the disk only once its folder is.
bool syncFolder(const QString &path)
{
    const int folder = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(),
                              O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0)
        return false;
    const bool synced = ::fsync(folder) == 0 || errno == EINVAL; // a file system that cannot sync folders
    const int error = errno;
    ::close(folder);
    errno = error;
    return synced;
}

// Holds off the signals that end the program for as long as it lives.
class SignalsHeld
{
public:
    SignalsHeld()
    {
        sigset_t held;
        sigemptyset(&held);
        for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
            sigaddset(&held, signal);
        sigprocmask(SIG_BLOCK, &held, &previous);
    }
    ~SignalsHeld() { sigprocmask(SIG_SETMASK, &previous, nullptr); }

private:
    sigset_t previous;
};

} // namespace

ReportFile::~ReportFile()
{
    close();
}

bool ReportFile::fail(Step step, int error)
{
    failed = step;
    text = QString::fromLocal8Bit(std::strerror(error));
    return false;
}

bool ReportFile::create(const QString &path, const QByteArray &bytes)
{
    close();
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return fail(errno == EEXIST ? Step::Exists : Step::Create, errno);
    handle = fd;
    end = reserved = 0;
    if (!append(bytes) || !sync()) {
        const Step step = failed;
        const QString why = text;
        close();
        ::unlink(QFile::encodeName(path).constData());
        failed = step;
        text = why;
        return false;
    }
    return syncFolder(path) || fail(Step::SyncFolder, errno);
}

bool ReportFile::openForAppend(const QString &path)
{
    close();
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return fail(Step::Create, errno);
    handle = fd;
    struct stat status {};
    end = reserved = ::fstat(fd, &status) == 0 ? status.st_size : 0;
    return true;
}

bool ReportFile::append(const QByteArray &bytes)
{
    if (handle < 0)
        return fail(Step::Write, EBADF);
    // Room that cannot be made (a full disk, a file system without it) is no failure: the
    // write itself tells whether the bytes fit.
    const qint64 room = qMax(kRoom, qint64(bytes.size()));
    if (end + bytes.size() > reserved && ::fallocate(int(handle), 0, reserved, end + room - reserved) == 0)
        reserved = end + room;
    if (!writeAll(int(handle), bytes, end))
        return fail(Step::Write, errno);
    end += bytes.size();
    return true;
}

bool ReportFile::sync()
{
    if (handle < 0)
        return fail(Step::Sync, EBADF);
    return ::fdatasync(int(handle)) == 0 || fail(Step::Sync, errno);
}

void ReportFile::close()
{
    if (handle >= 0)
        ::close(int(handle));
    handle = -1;
}

bool ReportFile::replace(const QString &path, const QByteArray &bytes)
{
    const QByteArray target = QFile::encodeName(path);
    const QFileInfo info(path);
    QByteArray temporary = QFile::encodeName(info.absolutePath() + QLatin1String("/.") + info.fileName()) + ".XXXXXX";
    const SignalsHeld held;
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        return fail(Step::Create, errno);
    struct stat status {};
    if (::stat(target.constData(), &status) == 0)
        ::fchmod(fd, status.st_mode & 07777);

    Step step = Step::None;
    if (!writeAll(fd, bytes))
        step = Step::Write;
    else if (::fsync(fd) != 0)
        step = Step::Sync;
    int error = errno;
    if (::close(fd) != 0 && step == Step::None) {
        error = errno;
        step = Step::Write;
    }
    if (step == Step::None && ::rename(temporary.constData(), target.constData()) != 0) {
        error = errno;
        step = Step::Replace;
    }
    if (step != Step::None) {
        ::unlink(temporary.constData());
        return fail(step, error);
    }
    return syncFolder(path) || fail(Step::SyncFolder, errno);
}
