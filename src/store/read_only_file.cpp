#include "store/read_only_file.h"

#include <QFile>

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

#ifdef _WIN32
#include <io.h>
#include <share.h>
#else
#include <unistd.h>
#endif

namespace {

// Bytes asked for in one call; the systems cap a single read near 2 GiB.
constexpr int64_t ReadChunk = int64_t(1) << 30;

#ifdef _WIN32
int openFile(const QString &path, ReadOnlyFile::Sharing sharing)
{
    int fd = -1;
    const int share = sharing == ReadOnlyFile::Sharing::DenyWrite ? _SH_DENYWR : _SH_DENYNO;
    const errno_t error = _wsopen_s(&fd, reinterpret_cast<const wchar_t *>(path.utf16()),
                                    _O_RDONLY | _O_BINARY | _O_NOINHERIT, share, _S_IREAD);
    if (error != 0) {
        errno = error;
        return -1;
    }
    return fd;
}

bool isDirectory(int fd)
{
    struct _stat64 info {};
    return _fstat64(fd, &info) == 0 && (info.st_mode & _S_IFMT) == _S_IFDIR;
}

int64_t fileSize(int fd)
{
    struct _stat64 info {};
    return _fstat64(fd, &info) == 0 ? int64_t(info.st_size) : -1;
}

int64_t readSome(int fd, char *buffer, int64_t length)
{
    return _read(fd, buffer, unsigned(length));
}

int closeFile(int fd)
{
    return _close(fd);
}
#else
int openFile(const QString &path, ReadOnlyFile::Sharing)
{
    const QByteArray name = QFile::encodeName(path);
    int fd = -1;
    do {
        fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

bool isDirectory(int fd)
{
    struct stat info {};
    return ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode);
}

int64_t fileSize(int fd)
{
    struct stat info {};
    return ::fstat(fd, &info) == 0 ? int64_t(info.st_size) : -1;
}

int64_t readSome(int fd, char *buffer, int64_t length)
{
    ssize_t got = -1;
    do {
        got = ::read(fd, buffer, size_t(length));
    } while (got < 0 && errno == EINTR);
    return got;
}

int closeFile(int fd)
{
    return ::close(fd);
}
#endif

} // namespace

ReadOnlyFile::ReadOnlyFile(const QString &path, Sharing sharing)
{
    if (path.isEmpty()) {
        m_error = ENOENT;
        return;
    }
    // The system would stop the name at the U+0000 and open another file.
    if (path.contains(QChar(0))) {
        m_error = EINVAL;
        return;
    }
    m_fd = openFile(path, sharing);
    if (m_fd < 0) {
        m_error = errno;
        return;
    }
    // POSIX opens a directory for reading; it is no file to read here.
    if (isDirectory(m_fd)) {
        closeFile(m_fd);
        m_fd = -1;
        m_error = EISDIR;
    }
}

ReadOnlyFile::~ReadOnlyFile()
{
    if (m_fd >= 0)
        closeFile(m_fd);
}

int64_t ReadOnlyFile::size()
{
    const int64_t result = fileSize(m_fd);
    if (result < 0)
        m_error = errno;
    return result;
}

int64_t ReadOnlyFile::read(char *buffer, int64_t length)
{
    int64_t total = 0;
    while (total < length) {
        const int64_t got = readSome(m_fd, buffer + total, std::min(length - total, ReadChunk));
        if (got < 0) {
            m_error = errno;
            return -1;
        }
        if (got == 0)
            break;
        total += got;
    }
    return total;
}

bool ReadOnlyFile::close()
{
    if (m_fd < 0)
        return true;
    const int result = closeFile(m_fd);
    m_fd = -1;
    if (result != 0) {
        m_error = errno;
        return false;
    }
    return true;
}
