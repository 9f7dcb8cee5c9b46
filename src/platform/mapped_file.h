#pragma once

#include <QString>

#include <cstdint>

// A read-only memory mapping of a whole file with small views into it:
// POSIX open/fstat/mmap, Win32 CreateFile/CreateFileMapping/MapViewOfFile.
// The open descriptor stands for the mapping handle.

// The alignment every view offset must have: the page size on POSIX,
// dwAllocationGranularity on Windows.
int64_t systemAllocationGranularity();

class MappedFileView;

class MappedFile
{
public:
    enum class OpenResult { Ok, CannotOpen, CannotMap };

    MappedFile() = default;
    ~MappedFile();
    MappedFile(const MappedFile &) = delete;
    MappedFile &operator=(const MappedFile &) = delete;

    // Opens the file read-only (without sharing where the platform has share
    // modes) and maps it whole. An empty file can't be mapped.
    OpenResult open(const QString &path);
    void close();
    bool isOpen() const;

    // The size when it was opened.
    int64_t size() const { return m_size; }
    // The size now: a file that shrank since it was opened must not be viewed
    // past its new end. -1 when it can't be told.
    int64_t currentSize() const;

private:
    friend class MappedFileView;
#ifdef _WIN32
    void *m_mapping = nullptr;
#else
    int m_fd = -1;
#endif
    int64_t m_size = 0;
};

// A view of `length` bytes from `offset` (a multiple of the granularity);
// length 0 views up to the end of the file. Released when it goes out of scope.
class MappedFileView
{
public:
    MappedFileView(const MappedFile &file, int64_t offset, int64_t length);
    ~MappedFileView();
    MappedFileView(const MappedFileView &) = delete;
    MappedFileView &operator=(const MappedFileView &) = delete;

    bool isValid() const { return m_data != nullptr; }
    const unsigned char *data() const { return m_data; }
    int64_t length() const { return m_length; }

private:
    const unsigned char *m_data = nullptr;
    int64_t m_length = 0;
#ifndef _WIN32
    void *m_base = nullptr;
    size_t m_mappedLength = 0;
#endif
};
