#include "store/letter_index.h"

#include <QByteArray>

#include "platform/errors.h"
#include "store/read_only_file.h"

#include <cerrno>

namespace {

// The runtime's I/O error code for an errno value.
int ioErrorCode(int systemError)
{
    switch (systemError) {
    case ENOENT:
        return 2;
    case ENOTDIR:
    case ENAMETOOLONG:
        return 3;
    case EMFILE:
    case ENFILE:
        return 4;
    case EACCES:
    case EPERM:
    case EROFS:
        return 5;
    default:
        return systemError;
    }
}

[[noreturn]] void raiseIoError(int systemError)
{
    throw EInOutError::fromCode(ioErrorCode(systemError));
}

int32_t readInt32Le(const unsigned char *bytes)
{
    return int32_t(uint32_t(bytes[0]) | (uint32_t(bytes[1]) << 8) | (uint32_t(bytes[2]) << 16)
                   | (uint32_t(bytes[3]) << 24));
}

void writeInt32Le(char *bytes, int32_t value)
{
    const auto pattern = uint32_t(value);
    for (int i = 0; i < 4; ++i)
        bytes[i] = char((pattern >> (8 * i)) & 0xFF);
}

char16_t foldLatinAccent(char16_t c)
{
    switch (c) {
    case u'\u00C0':
        return u'A';
    case u'\u00C9':
        return u'E';
    case u'\u00D6':
        return u'O';
    default:
        return c;
    }
}

char16_t replaceYo(char16_t c)
{
    return c == u'\u0401' ? u'\u0415' : c;
}

bool isLatinCapital(char16_t c)
{
    return c >= u'A' && c <= u'Z';
}

bool isCyrillicCapital(char16_t c)
{
    return c >= u'\u0410' && c <= u'\u042F';
}

} // namespace

void readLetterIndexFile(const QString &path, LetterIndex &index)
{
    // Reading only: a read-only dictionary set must work.
    ReadOnlyFile file(path, ReadOnlyFile::Sharing::DenyNone);
    if (!file.isOpen())
        raiseIoError(file.error());

    unsigned char bytes[LetterIndexBytes];
    const int64_t got = file.read(reinterpret_cast<char *>(bytes), LetterIndexBytes);
    if (got < 0)
        raiseIoError(file.error());
    if (got < LetterIndexBytes)
        throw EInOutError::fromCode(100);
    if (!file.close())
        raiseIoError(file.error());

    for (int e = 0; e < LetterIndexEntries; ++e) {
        index[size_t(e)].first = readInt32Le(bytes + 8 * e);
        index[size_t(e)].last = readInt32Le(bytes + 8 * e + 4);
    }
}

int letterEntryFor(char16_t key)
{
    if (isLatinCapital(key))
        return key - 0x40;
    if (isCyrillicCapital(key))
        return key - 0x3F5;
    return 0;
}

LetterRange letterRangeFor(const LetterIndex &index, char16_t key)
{
    return index[size_t(letterEntryFor(key))];
}

int keyEntryOfHeadword(QStringView headword)
{
    if (headword.isEmpty())
        return 0;
    // A query has its Ё turned into Е before its key is chosen; so has a headword here.
    const char16_t first = replaceYo(headword[0].unicode());
    char16_t key = first;
    if ((first == u'-' || first == u'\'') && headword.size() > 1) {
        const char16_t second = replaceYo(headword[1].unicode());
        if (isCyrillicCapital(second) || isLatinCapital(second))
            key = second;
    }
    return letterEntryFor(foldLatinAccent(key));
}

QByteArray encodeLetterIndex(const LetterIndex &index)
{
    QByteArray bytes(LetterIndexBytes, '\0');
    for (int e = 0; e < LetterIndexEntries; ++e) {
        writeInt32Le(bytes.data() + 8 * e, index[size_t(e)].first);
        writeInt32Le(bytes.data() + 8 * e + 4, index[size_t(e)].last);
    }
    return bytes;
}
