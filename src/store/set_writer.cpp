#include "store/set_writer.h"

#include "platform/errors.h"
#include "store/letter_index.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <array>
#include <numeric>

using namespace Qt::StringLiterals;

namespace {

// End offsets are signed 32-bit, and the readers keep sizes in 32 bits.
constexpr qint64 MaxFileSize = 2147483647;

constexpr char16_t Separator = u'\u2030';

// Windows-1251, bytes 0x80..0xFF; 0x98 is unassigned.
constexpr std::array<char16_t, 64> Cp1251High = {
    u'\u0402', u'\u0403', u'\u201A', u'\u0453', u'\u201E', u'\u2026', u'\u2020', u'\u2021', //
    u'\u20AC', u'\u2030', u'\u0409', u'\u2039', u'\u040A', u'\u040C', u'\u040B', u'\u040F', //
    u'\u0452', u'\u2018', u'\u2019', u'\u201C', u'\u201D', u'\u2022', u'\u2013', u'\u2014', //
    u'\0',     u'\u2122', u'\u0459', u'\u203A', u'\u045A', u'\u045C', u'\u045B', u'\u045F', //
    u'\u00A0', u'\u040E', u'\u045E', u'\u0408', u'\u00A4', u'\u0490', u'\u00A6', u'\u00A7', //
    u'\u0401', u'\u00A9', u'\u0404', u'\u00AB', u'\u00AC', u'\u00AD', u'\u00AE', u'\u0407', //
    u'\u00B0', u'\u00B1', u'\u0406', u'\u0456', u'\u0491', u'\u00B5', u'\u00B6', u'\u00B7', //
    u'\u0451', u'\u2116', u'\u0454', u'\u00BB', u'\u0458', u'\u0405', u'\u0455', u'\u0457', //
};

// The Windows-1251 byte of a character; false when the code page lacks it.
bool toCp1251(char16_t c, char &byte)
{
    if (c < 0x80) {
        byte = char(c);
        return true;
    }
    if (c >= 0x0410 && c <= 0x044F) { // А..я: 0xC0..0xFF
        byte = char(0xC0 + (c - 0x0410));
        return true;
    }
    for (size_t i = 0; i < Cp1251High.size(); ++i) {
        if (Cp1251High[i] == c && c != 0) {
            byte = char(0x80 + i);
            return true;
        }
    }
    return false;
}

QString codeOf(char16_t c)
{
    return u"U+%1"_s.arg(uint(c), 4, 16, QLatin1Char('0')).toUpper();
}

// A text for a message: control characters made visible, long texts cut.
QString shown(QStringView text)
{
    constexpr qsizetype Limit = 60;
    QString out;
    for (qsizetype i = 0; i < text.size() && i < Limit; ++i) {
        const QChar c = text[i];
        if (c.unicode() < 0x20)
            out += u'<' + codeOf(c.unicode()) + u'>';
        else
            out += c;
    }
    if (text.size() > Limit)
        out += u'\u2026';
    return u'"' + out + u'"';
}

QString entryName(int32_t number, QStringView headword)
{
    return u"Entry %1 %2"_s.arg(number).arg(shown(headword));
}

// The first bytes of a file without a mark that the word index reader would
// take for one.
bool looksMarked(const QByteArray &bytes)
{
    return bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF") || bytes.startsWith("\xEF\xBB\xBF");
}

QByteArray toUtf16Le(QStringView text)
{
    QByteArray bytes(text.size() * 2, Qt::Uninitialized);
    char *out = bytes.data();
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        *out++ = char(u & 0xFF);
        *out++ = char(u >> 8);
    }
    return bytes;
}

QByteArray toCp1251Bytes(QStringView text)
{
    QByteArray bytes(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        char b = '?';
        toCp1251(text[i].unicode(), b);
        bytes[i] = b;
    }
    return bytes;
}

QByteArray encodeLine(QStringView line, WordIndexEncoding encoding)
{
    switch (encoding) {
    case WordIndexEncoding::Windows1251:
        return toCp1251Bytes(line);
    case WordIndexEncoding::Utf16:
        return toUtf16Le(line);
    case WordIndexEncoding::Utf8:
        return line.toUtf8();
    }
    return {};
}

QByteArray byteOrderMark(WordIndexEncoding encoding)
{
    switch (encoding) {
    case WordIndexEncoding::Windows1251:
        return {};
    case WordIndexEncoding::Utf16:
        return QByteArray("\xFF\xFE", 2);
    case WordIndexEncoding::Utf8:
        return QByteArray("\xEF\xBB\xBF", 3);
    }
    return {};
}

QString letterName(int entry)
{
    if (entry == 0)
        return u"of other initials"_s;
    if (entry <= 26)
        return u"of key letter "_s + QChar(char16_t(0x40 + entry));
    return u"of key letter "_s + QChar(char16_t(0x3F5 + entry));
}

void openTarget(QSaveFile &file, const QString &path)
{
    file.setFileName(path);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        throw EFCreateError(u"Cannot create file \"%1\". %2"_s.arg(QDir::toNativeSeparators(path), file.errorString()));
}

} // namespace

QString headwordFault(QStringView headword, WordIndexEncoding encoding)
{
    if (headword.isEmpty())
        return u"the headword is empty"_s;
    for (qsizetype i = 0; i < headword.size(); ++i) {
        const char16_t c = headword[i].unicode();
        if (c == u'\r' || c == u'\n')
            return u"the headword contains a line break"_s;
        if (c == 0)
            return u"the headword contains the character U+0000"_s;
        if (c == Separator)
            return u"the headword contains the separator \u2030 (U+2030)"_s;
        if (QChar::isHighSurrogate(c) && i + 1 < headword.size() && QChar::isLowSurrogate(headword[i + 1].unicode())) {
            ++i;
            if (encoding == WordIndexEncoding::Windows1251)
                return u"the headword contains \"%1\", a character beyond U+FFFF, which Windows-1251 cannot hold"_s.arg(
                    headword.mid(i - 1, 2));
            continue;
        }
        if (QChar::isSurrogate(c))
            return u"the headword contains an unpaired surrogate (%1)"_s.arg(codeOf(c));
        char byte = 0;
        if (encoding == WordIndexEncoding::Windows1251 && !toCp1251(c, byte))
            return u"the headword contains \"%1\" (%2), which Windows-1251 cannot hold"_s.arg(QChar(c), codeOf(c));
    }
    return {};
}

QString articleFault(QStringView article)
{
    const qsizetype zero = article.indexOf(QChar(u'\0'));
    if (zero >= 0)
        return u"the article contains the character U+0000 at position %1, which would end it there"_s.arg(zero);
    return {};
}

QString encodingFault(const std::vector<SetEntry> &entries, WordIndexEncoding encoding)
{
    for (size_t i = 0; i < entries.size(); ++i) {
        const QString fault = headwordFault(entries[i].headword, encoding);
        if (!fault.isEmpty())
            return entryName(int32_t(i), entries[i].headword) + u": " + fault;
    }
    if (encoding == WordIndexEncoding::Windows1251 && !entries.empty()
        && looksMarked(toCp1251Bytes(entries.front().headword)))
        return entryName(0, entries.front().headword)
             + u": a Windows-1251 word index starting with these bytes would be read as one with a byte-order mark"_s;
    return {};
}

struct SetWriter::State
{
    SetWriterOptions options;
    QString lettersPath;
    QSaveFile articles;
    QSaveFile words;
    QSaveFile letters;
    qint64 articlesSize = 0;
    qint64 wordsSize = 0;
    int32_t count = 0;
    LetterIndex ranges;
    int currentKey = -1;
    bool broken = false; // a write failed or finish() ran: no more use
};

SetWriter::SetWriter(QString folder, QString baseName, SetWriterOptions options)
    : m_state(std::make_unique<State>())
{
    if (baseName.isEmpty() || baseName == u"."_s || baseName == u".."_s || baseName.contains(u'/')
        || baseName.contains(u'\\'))
        throw Exception(u"Invalid base name %1 for a dictionary set"_s.arg(shown(baseName)));
    const QDir dir(folder);
    if (!dir.exists() && !QDir().mkpath(folder))
        throw EFCreateError(u"Cannot create folder \"%1\""_s.arg(QDir::toNativeSeparators(folder)));

    State &s = *m_state;
    s.options = options;
    s.ranges.fill(LetterRange{-1, -1});
    s.lettersPath = dir.filePath(baseName + u".dvc"_s);

    openTarget(s.articles, dir.filePath(baseName + u".uvs"_s));
    openTarget(s.words, dir.filePath(baseName + u".ogl"_s));
    if (options.letterIndex)
        openTarget(s.letters, s.lettersPath);

    // The article file starts with the mark, which is also the lead of entry 0.
    const QByteArray articleMark("\xFF\xFE", 2);
    const QByteArray wordMark = byteOrderMark(options.encoding);
    if (s.articles.write(articleMark) != articleMark.size() || s.words.write(wordMark) != wordMark.size())
        throw Exception(u"Cannot write the dictionary set in \"%1\". %2"_s.arg(
            QDir::toNativeSeparators(folder), s.articles.errorString()));
    s.articlesSize = articleMark.size();
    s.wordsSize = wordMark.size();
}

SetWriter::~SetWriter() = default; // uncommitted temporaries are removed by QSaveFile

int32_t SetWriter::count() const
{
    return m_state->count;
}

void SetWriter::add(QStringView headword, QStringView article)
{
    State &s = *m_state;
    if (s.broken)
        throw Exception(u"The dictionary set writer is finished or has failed; it takes no more entries"_s);

    const int32_t number = s.count;
    QString fault = headwordFault(headword, s.options.encoding);
    if (fault.isEmpty())
        fault = articleFault(article);
    if (!fault.isEmpty())
        throw Exception(entryName(number, headword) + u": " + fault);

    int key = -1;
    if (s.options.letterIndex) {
        key = keyEntryOfHeadword(headword);
        if (key != s.currentKey && s.ranges[size_t(key)].first != -1) {
            const LetterRange r = s.ranges[size_t(key)];
            throw Exception(entryName(number, headword)
                            + u": the entries %1 are %2 to %3, and another key letter came since; "
                              "the entries of one key letter must form one run (order them by key letter)"_s.arg(
                                letterName(key))
                                  .arg(r.first)
                                  .arg(r.last));
        }
    }

    const qint64 endOffset = s.articlesSize + qint64(article.size()) * 2;
    if (endOffset + 2 > MaxFileSize)
        throw Exception(entryName(number, headword)
                        + u": the article file would grow past 2,147,483,647 bytes"_s);

    const QString line = headword + Separator + QString::number(endOffset) + u"\r\n"_s;
    const QByteArray lineBytes = encodeLine(line, s.options.encoding);
    if (s.wordsSize + lineBytes.size() > MaxFileSize)
        throw Exception(entryName(number, headword) + u": the word index would grow past 2,147,483,647 bytes"_s);
    if (number == 0 && s.options.encoding == WordIndexEncoding::Windows1251 && looksMarked(lineBytes))
        throw Exception(entryName(number, headword)
                        + u": a Windows-1251 word index starting with these bytes would be read as one with a byte-order mark"_s);

    QByteArray articleBytes = toUtf16Le(article);
    articleBytes.append(2, '\0');
    if (s.articles.write(articleBytes) != articleBytes.size()) {
        s.broken = true;
        throw Exception(u"Cannot write file \"%1\". %2"_s.arg(QDir::toNativeSeparators(s.articles.fileName()),
                                                              s.articles.errorString()));
    }
    if (s.words.write(lineBytes) != lineBytes.size()) {
        s.broken = true;
        throw Exception(u"Cannot write file \"%1\". %2"_s.arg(QDir::toNativeSeparators(s.words.fileName()),
                                                              s.words.errorString()));
    }
    s.articlesSize += articleBytes.size();
    s.wordsSize += lineBytes.size();

    if (key >= 0) {
        LetterRange &r = s.ranges[size_t(key)];
        if (r.first == -1)
            r.first = number;
        r.last = number;
        s.currentKey = key;
    }
    ++s.count;
}

void SetWriter::finish()
{
    State &s = *m_state;
    if (s.broken)
        throw Exception(u"The dictionary set writer is finished or has failed; it can't finish again"_s);
    s.broken = true;

    std::array<QSaveFile *, 3> files = {&s.articles, &s.words, &s.letters};
    const size_t fileCount = s.options.letterIndex ? 3 : 2;

    if (s.options.letterIndex) {
        const QByteArray bytes = encodeLetterIndex(s.ranges);
        if (s.letters.write(bytes) != bytes.size())
            throw Exception(u"Cannot write file \"%1\". %2"_s.arg(QDir::toNativeSeparators(s.lettersPath),
                                                                  s.letters.errorString()));
    }
    // Everything reaches the disk before anything is renamed, so a full disk
    // leaves the old set whole.
    for (size_t i = 0; i < fileCount; ++i) {
        if (!files[i]->flush())
            throw Exception(u"Cannot write file \"%1\". %2"_s.arg(QDir::toNativeSeparators(files[i]->fileName()),
                                                                  files[i]->errorString()));
    }
    // A letter index left from an older set would give wrong ranges for the new one.
    if (!s.options.letterIndex) {
        const QFileInfo old(s.lettersPath);
        if ((old.exists() || old.isSymLink()) && !old.isDir()) {
            QFile file(s.lettersPath);
            if (!file.remove())
                throw Exception(u"Cannot remove the old letter index \"%1\". %2"_s.arg(
                    QDir::toNativeSeparators(s.lettersPath), file.errorString()));
        }
    }
    for (size_t i = 0; i < fileCount; ++i) {
        if (!files[i]->commit())
            throw Exception(u"Cannot put file \"%1\" in place. %2"_s.arg(
                QDir::toNativeSeparators(files[i]->fileName()), files[i]->errorString()));
    }
}

void orderByKeyLetter(std::vector<SetEntry> &entries)
{
    std::vector<int> keys(entries.size());
    for (size_t i = 0; i < entries.size(); ++i)
        keys[i] = keyEntryOfHeadword(entries[i].headword);
    std::vector<size_t> order(entries.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::stable_sort(order.begin(), order.end(), [&keys](size_t a, size_t b) { return keys[a] < keys[b]; });

    std::vector<SetEntry> sorted;
    sorted.reserve(entries.size());
    for (const size_t i : order)
        sorted.push_back(std::move(entries[i]));
    entries = std::move(sorted);
}

void writeDictionarySet(const QString &folder, const QString &baseName, std::vector<SetEntry> entries,
                        SetWriterOptions options)
{
    if (options.letterIndex)
        orderByKeyLetter(entries);
    SetWriter writer(folder, baseName, options);
    for (const SetEntry &entry : entries)
        writer.add(entry.headword, entry.article);
    writer.finish();
}
