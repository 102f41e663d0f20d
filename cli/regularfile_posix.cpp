#include "regularfile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using RegularFile::notRegular;

QString systemError(int number)
{
    return qt_error_string(number);
}

QString kindOf(mode_t mode)
{
    if (S_ISREG(mode))
        return QString();
    if (S_ISLNK(mode))
        return notRegular("a symbolic link");
    if (S_ISFIFO(mode))
        return notRegular("a FIFO");
    if (S_ISDIR(mode))
        return notRegular("a folder");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return notRegular("a device");
    return notRegular("a socket");
}

QString readAll(int descriptor, qint64 maxBytes, QByteArray *bytes)
{
    bytes->clear();
    char buffer[16384];
    for (;;) {
        const ssize_t size = ::read(descriptor, buffer, sizeof buffer);
        if (size < 0 && errno == EINTR)
            continue;
        if (size < 0)
            return systemError(errno);
        if (size == 0)
            return QString();
        bytes->append(buffer, int(size));
        if (bytes->size() > maxBytes)
            return QStringLiteral("larger than %1 bytes").arg(maxBytes);
    }
}

bool writeAll(int descriptor, const QByteArray &bytes)
{
    qint64 written = 0;
    while (written < bytes.size()) {
        const ssize_t size = ::write(descriptor, bytes.constData() + written, size_t(bytes.size() - written));
        if (size < 0 && errno != EINTR)
            return false;
        written += qMax<ssize_t>(size, 0);
    }
    return true;
}

// What is at path now, without following a link: a regular file, nothing,
// or the reason to leave it alone.
QString whatIsThere(const QByteArray &path, bool *exists)
{
    struct stat status
    {
    };
    *exists = ::lstat(path.constData(), &status) == 0;
    if (!*exists)
        return errno == ENOENT ? QString() : systemError(errno);
    return kindOf(status.st_mode);
}

// Moves the whole file into place: over what is there only with replace;
// without, the system refuses when anything took the name meanwhile.
int moveIntoPlace(const QByteArray &from, const QByteArray &to, bool replace)
{
    if (replace)
        return ::rename(from.constData(), to.constData()) == 0 ? 0 : errno;
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // A file system without that: a second name, which fails likewise.
    if (::link(from.constData(), to.constData()) != 0)
        return errno;
    ::unlink(from.constData());
    return 0;
}

// The folder's entry, on the disk too.
void syncFolder(const QByteArray &path)
{
    const int folder = ::open(QFile::encodeName(QFileInfo(QFile::decodeName(path)).path()).constData(),
                              O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
}

} // namespace

namespace RegularFile {

QString read(const QString &path, qint64 maxBytes, Links links, QByteArray *bytes)
{
    // Without blocking: a FIFO would wait for a writer before it is seen.
    const int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | (links == Links::Refuse ? O_NOFOLLOW : 0);
    const int descriptor = ::open(QFile::encodeName(path).constData(), flags);
    if (descriptor < 0)
        return errno == ELOOP && links == Links::Refuse ? notRegular("a symbolic link") : systemError(errno);
    struct stat status
    {
    };
    QString error = ::fstat(descriptor, &status) == 0 ? kindOf(status.st_mode) : systemError(errno);
    if (error.isEmpty())
        error = readAll(descriptor, maxBytes, bytes);
    ::close(descriptor);
    return error;
}

Made make(const QString &path, const QByteArray &bytes, bool replace, QString *error)
{
    const QByteArray target = QFile::encodeName(path);
    bool exists = false;
    *error = whatIsThere(target, &exists);
    if (!error->isEmpty())
        return Made::Not;
    if (exists && !replace)
        return Made::Earlier;
    const QByteArray beside = QFile::encodeName(besidePath(path));
    const int descriptor
        = ::open(beside.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (descriptor < 0) {
        *error = systemError(errno);
        return Made::Not;
    }
    // Every byte on the disk before the file takes its name.
    int failure = writeAll(descriptor, bytes) && ::fsync(descriptor) == 0 ? 0 : errno;
    if (::close(descriptor) != 0 && failure == 0)
        failure = errno;
    if (failure == 0)
        failure = moveIntoPlace(beside, target, replace);
    if (failure == 0) {
        syncFolder(target);
        return Made::Now;
    }
    ::unlink(beside.constData());
    if (failure == EEXIST) { // taken meanwhile
        *error = whatIsThere(target, &exists);
        return error->isEmpty() ? Made::Earlier : Made::Not;
    }
    *error = systemError(failure);
    return Made::Not;
}

} // namespace RegularFile
