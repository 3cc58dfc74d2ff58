#include "cli/inputfile.h"

#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

bool readInput(const QString &path, int limit, QByteArray *bytes, QString *error, unsigned *mode)
{
    const bool standardInput = path == QLatin1String(kStandardInput);
    const auto failed = [&](int code, int fd) {
        *error = QStringLiteral("cannot read %1: %2").arg(inputName(path), QString::fromLocal8Bit(std::strerror(code)));
        if (!standardInput && fd >= 0)
            ::_close(fd);
        return false;
    };
    // The runtime would open a folder, or refuse it for want of permission.
    if (!standardInput && QFileInfo(path).isDir())
        return failed(EISDIR, -1);
    // In binary mode: text mode ends a file at its first Ctrl+Z and drops the CR of each line.
    const int fd = standardInput
                       ? 0
                       : ::_wopen(reinterpret_cast<const wchar_t *>(path.utf16()), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
    if (fd < 0)
        return failed(errno, fd);
    // Who may read a file is its access list's matter on Windows; the permission bits the
    // runtime makes up say nothing of it.
    if (mode)
        *mode = 0;

    bytes->clear();
    char buffer[65536];
    while (bytes->size() < limit) {
        const int got = ::_read(fd, buffer, unsigned(qMin<qint64>(qint64(sizeof buffer), limit - bytes->size())));
        if (got < 0)
            return failed(errno, fd);
        if (got == 0)
            break;
        bytes->append(buffer, got);
    }
    if (!standardInput)
        ::_close(fd);
    return true;
}
