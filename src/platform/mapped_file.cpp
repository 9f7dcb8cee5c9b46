#include "platform/mapped_file.h"

#ifdef _WIN32
#include <QDir>

#include <windows.h>
#else
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#ifdef _WIN32

int64_t systemAllocationGranularity()
{
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return int64_t(info.dwAllocationGranularity);
}

MappedFile::~MappedFile()
{
    close();
}

MappedFile::OpenResult MappedFile::open(const QString &path)
{
    close();
    const QString native = QDir::toNativeSeparators(path);
    // Read-only and without sharing: the open fails while another process
    // holds the file open.
    HANDLE file = CreateFileW(reinterpret_cast<const wchar_t *>(native.utf16()), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return OpenResult::CannotOpen;
    // An empty file can't be mapped: CreateFileMappingW fails for it.
    HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    DWORD high = 0;
    const DWORD low = GetFileSize(file, &high);
    // The mapping keeps the file alive; the file handle isn't needed any more.
    CloseHandle(file);
    if (!mapping)
        return OpenResult::CannotMap;
    m_mapping = mapping;
    m_size = (int64_t(high) << 32) | int64_t(low);
    return OpenResult::Ok;
}

void MappedFile::close()
{
    if (m_mapping)
        CloseHandle(m_mapping);
    m_mapping = nullptr;
    m_size = 0;
}

bool MappedFile::isOpen() const
{
    return m_mapping != nullptr;
}

int64_t MappedFile::currentSize() const
{
    // A file with a mapped section can't be truncated below it on Windows.
    return isOpen() ? m_size : -1;
}

MappedFileView::MappedFileView(const MappedFile &file, int64_t offset, int64_t length)
{
    if (!file.isOpen() || offset < 0 || length < 0 || offset >= file.m_size)
        return;
    if (length == 0)
        length = file.m_size - offset;
    if (length > file.m_size - offset)
        return;
    const void *base = MapViewOfFile(file.m_mapping, FILE_MAP_READ, DWORD(uint64_t(offset) >> 32),
                                     DWORD(uint64_t(offset) & 0xFFFFFFFFu), SIZE_T(length));
    if (!base)
        return;
    m_data = static_cast<const unsigned char *>(base);
    m_length = length;
}

MappedFileView::~MappedFileView()
{
    if (m_data)
        UnmapViewOfFile(m_data);
}

#else // POSIX

int64_t systemAllocationGranularity()
{
    const long pageSize = sysconf(_SC_PAGESIZE);
    return pageSize > 0 ? int64_t(pageSize) : 4096;
}

MappedFile::~MappedFile()
{
    close();
}

// POSIX has no mapping object apart from a descriptor, so the descriptor is
// kept open as the mapping handle: each view is mapped from it, and fstat on
// it tells whether the file has shrunk (a view past the end of a file faults
// the process on access). There are no share modes: the file is opened
// read-only and other processes may still open it.
MappedFile::OpenResult MappedFile::open(const QString &path)
{
    close();
    const QByteArray encoded = QFile::encodeName(path);
    int fd = -1;
    // O_NONBLOCK: opening a named pipe must not wait for a writer.
    do {
        fd = ::open(encoded.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return OpenResult::CannotOpen;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        // Folders and pipes open on POSIX, but they aren't files to map.
        ::close(fd);
        return OpenResult::CannotOpen;
    }
    if (st.st_size <= 0) {
        ::close(fd);
        return OpenResult::CannotMap;
    }
    m_fd = fd;
    m_size = int64_t(st.st_size);
    return OpenResult::Ok;
}

void MappedFile::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_size = 0;
}

bool MappedFile::isOpen() const
{
    return m_fd >= 0;
}

int64_t MappedFile::currentSize() const
{
    if (!isOpen())
        return -1;
    struct stat st {};
    if (fstat(m_fd, &st) != 0)
        return -1;
    return int64_t(st.st_size);
}

MappedFileView::MappedFileView(const MappedFile &file, int64_t offset, int64_t length)
{
    if (!file.isOpen() || offset < 0 || length < 0 || offset >= file.m_size)
        return;
    if (length == 0)
        length = file.m_size - offset;
    // Never past the end of the file as it was opened: those pages have no
    // backing and would fault on access.
    if (length > file.m_size - offset)
        return;
    if (uint64_t(length) > uint64_t(SIZE_MAX) || int64_t(off_t(offset)) != offset)
        return;
    void *base = mmap(nullptr, size_t(length), PROT_READ, MAP_SHARED, file.m_fd, off_t(offset));
    if (base == MAP_FAILED)
        return;
    m_base = base;
    m_mappedLength = size_t(length);
    m_data = static_cast<const unsigned char *>(base);
    m_length = length;
}

MappedFileView::~MappedFileView()
{
    if (m_base)
        munmap(m_base, m_mappedLength);
}

#endif
