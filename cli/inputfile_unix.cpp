#include "cli/inputfile.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool readInput(const QString &path, int limit, QByteArray *bytes, QString *error, unsigned *mode)
{
    const bool standardInput = path == QLatin1String(kStandardInput);
    const int fd = standardInput ? STDIN_FILENO : ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    const auto failed = [&](int code) {
        *error = QStringLiteral("cannot read %1: %2").arg(inputName(path), QString::fromLocal8Bit(std::strerror(code)));
        if (!standardInput && fd >= 0)
            ::close(fd);
        return false;
    };
    if (fd < 0)
        return failed(errno);
    struct stat status {};
    if (::fstat(fd, &status) != 0)
        return failed(errno);
    if (S_ISDIR(status.st_mode))
        return failed(EISDIR);
    if (mode)
        *mode = S_ISREG(status.st_mode) ? unsigned(status.st_mode & 07777) : 0u;

    bytes->clear();
    char buffer[65536];
    while (bytes->size() < limit) {
        const ssize_t got = ::read(fd, buffer, std::size_t(qMin<qint64>(qint64(sizeof buffer), limit - bytes->size())));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return failed(errno);
        if (got == 0)
            break;
        bytes->append(buffer, int(got));
    }
    if (!standardInput)
        ::close(fd);
    return true;
}
