#include "source_error.h"

#include <QDir>

using namespace Qt::StringLiterals;

QString describePosition(const QString &path, SourcePosition where)
{
    const QString name = QDir::toNativeSeparators(path);
    if (where.kind == SourcePosition::Kind::Line)
        return u"%1, line %2"_s.arg(name).arg(where.value);
    return u"%1, offset %2"_s.arg(name).arg(where.value);
}

void raiseAtLine(const QString &path, int64_t line, const QString &what)
{
    throw SourceError(describePosition(path, {SourcePosition::Kind::Line, line}) + u": " + what);
}

void raiseAtOffset(const QString &path, int64_t offset, const QString &what)
{
    throw SourceError(describePosition(path, {SourcePosition::Kind::Offset, offset}) + u": " + what);
}

void raiseForFile(const QString &path, const QString &what)
{
    throw SourceError(QDir::toNativeSeparators(path) + u": " + what);
}
