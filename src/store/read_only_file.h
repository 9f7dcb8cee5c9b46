#pragma once

#include <QString>

#include <cstdint>

// A file opened for reading only, through the C runtime's descriptors so that
// a failure keeps its errno. Closed by the destructor on every path.
class ReadOnlyFile
{
public:
    enum class Sharing {
        DenyWrite, // others may read it while it is open (where the platform has share modes)
        DenyNone,  // others may read and write it
    };

    // Opens `path`; isOpen() and error() tell how it went. A directory
    // counts as a file that can't be opened (EISDIR).
    explicit ReadOnlyFile(const QString &path, Sharing sharing = Sharing::DenyWrite);
    ~ReadOnlyFile();
    ReadOnlyFile(const ReadOnlyFile &) = delete;
    ReadOnlyFile &operator=(const ReadOnlyFile &) = delete;

    bool isOpen() const { return m_fd >= 0; }
    // The errno of the last failed call, 0 when none failed.
    int error() const { return m_error; }

    // The file's size in bytes, or -1 (see error()).
    int64_t size();
    // Reads up to `length` bytes, going on after short reads until the end
    // of the file; returns the bytes read, or -1 (see error()).
    int64_t read(char *buffer, int64_t length);
    // Closes the file; false when the system reports a failure (see error()).
    bool close();

private:
    int m_fd = -1;
    int m_error = 0;
};
