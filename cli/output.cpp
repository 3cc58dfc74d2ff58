#include "cli/output.h"

#include <cerrno>
#include <cstring>

OutputStream::OutputStream(FILE *stream, const char *name) : stream(stream), name(name)
{
}

bool OutputStream::write(const QByteArray &bytes)
{
    if (!ok())
        return false;
    errno = 0;
    if (std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stream) != std::size_t(bytes.size())
        || std::fflush(stream) != 0)
        return failed();
    return true;
}

bool OutputStream::finish(bool closing)
{
    errno = 0;
    if (std::fflush(stream) != 0 || std::ferror(stream))
        failed();
    if (closing && std::fclose(stream) != 0 && ok())
        failed();
    return ok();
}

QString OutputStream::errorText() const
{
    return QStringLiteral("cannot write to %1: %2")
        .arg(QLatin1String(name), QString::fromLocal8Bit(std::strerror(errorNumber)));
}

bool OutputStream::failed()
{
    // A stream can fail without an errno (a write error flagged earlier): say EIO then.
    if (errorNumber == 0)
        errorNumber = errno ? errno : EIO;
    return false;
}
