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

bool writeAll(int fd, const QByteArray &bytes)
{
    for (qint64 done = 0; done < bytes.size();) {
        const ssize_t written = ::write(fd, bytes.constData() + done, std::size_t(bytes.size() - done));
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

// Holds off, in the calling thread, the signals that end the program for as long as it lives.
// The command line takes them on its only thread; the window installs no handlers.
class SignalsHeld
{
public:
    SignalsHeld()
    {
        sigset_t held;
        sigemptyset(&held);
        for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
            sigaddset(&held, signal);
        pthread_sigmask(SIG_BLOCK, &held, &previous);
    }
    ~SignalsHeld() { pthread_sigmask(SIG_SETMASK, &previous, nullptr); }

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
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0)
        return fail(errno == EEXIST ? Step::Exists : Step::Create, errno);
    handle = fd;
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
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0)
        return fail(Step::Create, errno);
    handle = fd;
    return true;
}

bool ReportFile::append(const QByteArray &bytes)
{
    if (handle < 0)
        return fail(Step::Write, EBADF);
    return writeAll(int(handle), bytes) || fail(Step::Write, errno);
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
    close();
    const QByteArray target = QFile::encodeName(path);
    const QFileInfo info(path);
    QByteArray temporary = QFile::encodeName(info.absolutePath() + QLatin1String("/.") + info.fileName()) + ".XXXXXX";
    const SignalsHeld held;
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        return fail(Step::Create, errno);
    struct stat status {};
    if (::stat(target.constData(), &status) == 0 && ::fchmod(fd, status.st_mode & 07777) != 0) {
        const int error = errno;
        ::close(fd);
        ::unlink(temporary.constData());
        return fail(Step::Create, error);
    }

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

bool syncToDisk(int descriptor, QString *error)
{
    if (::fsync(descriptor) == 0)
        return true;
    *error = QString::fromLocal8Bit(std::strerror(errno));
    return false;
}
