#pragma once

#include <QString>

#include <cstdint>
#include <functional>

#include "platform/errors.h"

// A source dictionary that can't be read: the message names the file and the
// line or byte offset where reading stopped.
class SourceError : public Exception
{
public:
    using Exception::Exception;
};

// Where an entry or a fault lies in a source file.
struct SourcePosition
{
    enum class Kind { Line, Offset };
    Kind kind = Kind::Line;
    int64_t value = 0; // 1-based line, or 0-based byte offset
};

//   ("a.dsl", line 12) -> "a.dsl, line 12"     ("a.idx", offset 40) -> "a.idx, offset 40"
QString describePosition(const QString &path, SourcePosition where);

[[noreturn]] void raiseAtLine(const QString &path, int64_t line, const QString &what);
[[noreturn]] void raiseAtOffset(const QString &path, int64_t offset, const QString &what);
[[noreturn]] void raiseForFile(const QString &path, const QString &what);

// What a reader hands on: a headword as the source writes it, the HTML body
// of its article (without the headword), and where it was found.
struct SourceEntry
{
    QString headword;
    QString body;
    QString file;
    SourcePosition where;
};

struct SourceContext
{
    // Folder for temporary files (decompressed data); removed by the caller.
    QString tempDir;
    std::function<void(const SourceEntry &)> entry;
    // Bytes of the main input read so far, and its size.
    std::function<void(int64_t done, int64_t total)> progress;
};
