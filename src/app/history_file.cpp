#include "app/history_file.h"

#include "platform/errors.h"
#include "store/text_decoding.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

namespace {

QString fullNativePath(const QString &path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

// What the system says when a folder is opened as a file.
#ifdef _WIN32
constexpr int IsFolderError = ERROR_ACCESS_DENIED;
#else
constexpr int IsFolderError = EISDIR;
#endif

[[noreturn]] void raiseOpenError(const QString &path, int systemError)
{
    throw EFOpenError(u"Cannot open file \"%1\". %2"_s.arg(fullNativePath(path), systemErrorText(systemError)));
}

// The whole file in one buffer. Other readers may share it; writers may not
// where the platform has share modes.
QByteArray readWholeFile(const QString &path)
{
#ifdef _WIN32
    const std::wstring native = QDir::toNativeSeparators(path).toStdWString();
    HANDLE handle = CreateFileW(native.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        raiseOpenError(path, int(GetLastError()));
    QByteArray bytes;
    char chunk[65536];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(handle, chunk, sizeof chunk, &got, nullptr)) {
            const int error = int(GetLastError());
            CloseHandle(handle);
            raiseOpenError(path, error);
        }
        if (got == 0)
            break;
        bytes.append(chunk, qsizetype(got));
    }
    CloseHandle(handle);
    return bytes;
#else
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        raiseOpenError(path, errno);
    struct stat info {};
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        // A folder opens on POSIX but is no file to read.
        const int error = S_ISDIR(info.st_mode) ? IsFolderError : errno;
        ::close(fd);
        raiseOpenError(path, error);
    }
    QByteArray bytes;
    char chunk[65536];
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            const int error = errno;
            ::close(fd);
            raiseOpenError(path, error);
        }
        if (got == 0)
            break;
        bytes.append(chunk, qsizetype(got));
    }
    ::close(fd);
    return bytes;
#endif
}

[[noreturn]] void raiseCreateError(const QString &path, const QString &systemText)
{
    throw EFCreateError(u"Cannot create file \"%1\". %2"_s.arg(fullNativePath(path), systemText));
}

// The system's text for a failed QSaveFile step: the error code left by the
// call that failed where there is one, else Qt's wording of it.
QString saveErrorText(const QSaveFile &file, int systemError)
{
    if (systemError != 0)
        return systemErrorText(systemError);
    return file.errorString();
}

int lastSystemError()
{
#ifdef _WIN32
    return int(GetLastError());
#else
    return errno;
#endif
}

void clearSystemError()
{
#ifdef _WIN32
    SetLastError(0);
#else
    errno = 0;
#endif
}

} // namespace

QStringList loadHistoryFile(const QString &path)
{
    const QString text = decodeText(readWholeFile(path));
    return cutLinesToList(text);
}

void saveHistoryFile(const QString &path, const QStringList &items)
{
    QByteArray bytes;
    for (const QString &item : items) {
        bytes += encodeAnsi(item);
        bytes += "\r\n";
    }

    // The new text goes to a temporary file that replaces the old one only
    // when it is complete, so a failed write keeps the earlier history.
    // QSaveFile has its own wording for this one; the system's is wanted.
    if (QFileInfo(path).isDir())
        raiseCreateError(path, systemErrorText(IsFolderError));

    QSaveFile file(path);
    clearSystemError();
    if (!file.open(QIODevice::WriteOnly))
        raiseCreateError(path, saveErrorText(file, lastSystemError()));
    clearSystemError();
    // The buffer is flushed here and checked: a failure while commit() flushes
    // is not reported by it, and the short file would replace the old one.
    if (file.write(bytes) != bytes.size() || !file.flush())
        raiseCreateError(path, saveErrorText(file, lastSystemError()));
    clearSystemError();
    if (!file.commit())
        raiseCreateError(path, saveErrorText(file, lastSystemError()));
}
