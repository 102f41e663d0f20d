#include "regularfile.h"

#include <QDir>

#include <windows.h>

namespace {

using RegularFile::notRegular;

QString systemError(DWORD number)
{
    return qt_error_string(int(number));
}

std::wstring native(const QString &path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

QString kindOf(DWORD attributes)
{
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return notRegular("a symbolic link");
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return notRegular("a folder");
    if (attributes & FILE_ATTRIBUTE_DEVICE)
        return notRegular("a device");
    return QString();
}

QString readAll(HANDLE file, qint64 maxBytes, QByteArray *bytes)
{
    bytes->clear();
    char buffer[16384];
    for (;;) {
        DWORD size = 0;
        if (!ReadFile(file, buffer, sizeof buffer, &size, nullptr))
            return systemError(GetLastError());
        if (size == 0)
            return QString();
        bytes->append(buffer, int(size));
        if (bytes->size() > maxBytes)
            return QStringLiteral("larger than %1 bytes").arg(maxBytes);
    }
}

bool writeAll(HANDLE file, const QByteArray &bytes)
{
    qint64 written = 0;
    while (written < bytes.size()) {
        DWORD size = 0;
        if (!WriteFile(file, bytes.constData() + written, DWORD(bytes.size() - written), &size, nullptr))
            return false;
        written += size;
    }
    return true;
}

// What is at path now, without following a link: a regular file, nothing,
// or the reason to leave it alone.
QString whatIsThere(const std::wstring &path, bool *exists)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    *exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (*exists)
        return kindOf(attributes);
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? QString() : systemError(error);
}

} // namespace

namespace RegularFile {

QString read(const QString &path, qint64 maxBytes, Links links, QByteArray *bytes)
{
    // A folder opens only with backup semantics: then it can be named.
    const DWORD flags
        = FILE_FLAG_BACKUP_SEMANTICS | (links == Links::Refuse ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
    const HANDLE file = CreateFileW(native(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, flags, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return systemError(GetLastError());
    BY_HANDLE_FILE_INFORMATION information {};
    QString error;
    if (GetFileType(file) != FILE_TYPE_DISK)
        error = notRegular("a device or a pipe");
    else if (!GetFileInformationByHandle(file, &information))
        error = systemError(GetLastError());
    else
        error = kindOf(information.dwFileAttributes);
    if (error.isEmpty())
        error = readAll(file, maxBytes, bytes);
    CloseHandle(file);
    return error;
}

Made make(const QString &path, const QByteArray &bytes, bool replace, QString *error)
{
    const std::wstring target = native(path);
    bool exists = false;
    *error = whatIsThere(target, &exists);
    if (!error->isEmpty())
        return Made::Not;
    if (exists && !replace)
        return Made::Earlier;
    const std::wstring beside = native(besidePath(path));
    const HANDLE file
        = CreateFileW(beside.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *error = systemError(GetLastError());
        return Made::Not;
    }
    // Every byte on the disk before the file takes its name.
    DWORD failure = writeAll(file, bytes) && FlushFileBuffers(file) ? ERROR_SUCCESS : GetLastError();
    CloseHandle(file);
    const DWORD move = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
    if (failure == ERROR_SUCCESS && !MoveFileExW(beside.c_str(), target.c_str(), move))
        failure = GetLastError();
    if (failure == ERROR_SUCCESS)
        return Made::Now;
    DeleteFileW(beside.c_str());
    if (failure == ERROR_ALREADY_EXISTS || failure == ERROR_FILE_EXISTS) { // taken meanwhile
        *error = whatIsThere(target, &exists);
        return error->isEmpty() ? Made::Earlier : Made::Not;
    }
    *error = systemError(failure);
    return Made::Not;
}

} // namespace RegularFile
