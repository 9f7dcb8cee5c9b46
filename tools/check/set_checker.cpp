#include "set_checker.h"

#include "store/dictionary_set.h"
#include "store/letter_index.h"
#include "store/text_decoding.h"
#include "store/word_index.h"

#include <QDir>
#include <QFile>
#include <QHash>

#include <algorithm>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr int MaxPerKind = 20;

// Problems grouped by kind, at most MaxPerKind of each spelled out.
class Findings
{
public:
    explicit Findings(QStringList &out)
        : m_out(out)
    {
    }
    ~Findings()
    {
        for (auto it = m_counts.cbegin(); it != m_counts.cend(); ++it) {
            if (it.value() > MaxPerKind)
                m_out.append(u"... and %1 more of: %2"_s.arg(it.value() - MaxPerKind).arg(it.key()));
        }
    }
    void add(const QString &kind, const QString &text)
    {
        if (++m_counts[kind] <= MaxPerKind)
            m_out.append(text);
    }

private:
    QStringList &m_out;
    QHash<QString, int64_t> m_counts;
};

QString letterName(int entry)
{
    if (entry == 0)
        return u"other initials (entry 0)"_s;
    if (entry <= 26)
        return u"letter %1 (entry %2)"_s.arg(QChar(u'A' + entry - 1)).arg(entry);
    return u"letter %1 (entry %2)"_s.arg(QChar(char16_t(0x410 + entry - 27))).arg(entry);
}

QString entryName(const WordIndex &index, int32_t i)
{
    QString head = index.nameView(i).left(40).toString();
    return u"entry %1 (%2)"_s.arg(i).arg(head.isEmpty() ? u"no headword"_s : head);
}

int32_t readLe32(const char *p)
{
    const auto *b = reinterpret_cast<const unsigned char *>(p);
    return int32_t(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24);
}

} // namespace

CheckReport checkDictionarySet(const QString &folder, const QString &baseName)
{
    CheckReport report;
    const QDir dir(folder);
    const QString wordPath = dir.filePath(baseName + WordIndexExtension);
    const QString articlePath = dir.filePath(baseName + ArticleFileExtension);
    const QString letterPath = dir.filePath(baseName + LetterIndexExtension);

    for (const QString &p : {wordPath, articlePath}) {
        if (!isFilePresent(p)) {
            report.problems.append(u"missing file %1"_s.arg(QDir::toNativeSeparators(p)));
            report.unreadable = true;
        }
    }
    if (report.unreadable)
        return report;

    // Word index.
    QFile wordFile(wordPath);
    if (!wordFile.open(QIODevice::ReadOnly)) {
        report.problems.append(u"can't read %1: %2"_s.arg(QDir::toNativeSeparators(wordPath), wordFile.errorString()));
        report.unreadable = true;
        return report;
    }
    const QByteArray wordBytes = wordFile.readAll();
    WordIndex index;
    index.loadFromText(decodeText(wordBytes));
    report.entries = index.count();
    if (wordBytes.startsWith("\xEF\xBB\xBF") && wordBytes.size() > 3 && index.count() == 0)
        report.problems.append(u"word index: invalid UTF-8 after its UTF-8 mark, so it reads as empty"_s);
    else if (index.count() == 0)
        report.problems.append(u"word index: no entries"_s);

    // Article file, mapped read-only; every access below is checked against its size.
    QFile articleFile(articlePath);
    if (!articleFile.open(QIODevice::ReadOnly)) {
        report.problems.append(
            u"can't read %1: %2"_s.arg(QDir::toNativeSeparators(articlePath), articleFile.errorString()));
        report.unreadable = true;
        return report;
    }
    const int64_t fileSize = articleFile.size();
    const uchar *data = nullptr;
    if (fileSize == 0)
        report.problems.append(u"article file: empty, so it can't be mapped"_s);
    else if (fileSize >= (int64_t(1) << 32))
        report.problems.append(u"article file: %1 bytes, 4 GiB or more"_s.arg(fileSize));
    else if (!(data = articleFile.map(0, fileSize))) {
        report.problems.append(u"can't map %1: %2"_s.arg(QDir::toNativeSeparators(articlePath), articleFile.errorString()));
        report.unreadable = true;
        return report;
    }
    if (data && (fileSize < 2 || data[0] != 0xFF || data[1] != 0xFE))
        report.notes.append(u"article file: does not start with the UTF-16LE mark FF FE (never read, though)"_s);

    {
        Findings found(report.problems);
        Findings hints(report.notes);
        int64_t previous = 0; // E(-1) stands for 0
        bool known = true;   // previous is a usable end offset
        for (int32_t i = 0; i < index.count(); ++i) {
            if (index.nameView(i).isEmpty())
                found.add(u"no headword"_s, u"%1: line without a headword (\"%2\")"_s.arg(i).arg(
                                                   index.line(i).left(40).toString()));
            int32_t e = 0;
            const QString value = index.valueFromIndex(i);
            if (!tryStrToInt(value, e)) {
                found.add(u"non-integer end offset"_s,
                          u"%1: end offset \"%2\" is not an integer"_s.arg(entryName(index, i), value.left(40)));
                known = false;
                continue;
            }
            const int64_t end = e;
            bool usable = true;
            if (end % 2 != 0) {
                found.add(u"odd end offset"_s, u"%1: end offset %2 is odd"_s.arg(entryName(index, i)).arg(end));
                usable = false;
            }
            if (known && end < previous + 2) {
                found.add(u"end offset not increasing"_s,
                          i == 0 ? u"%1: end offset %2 is below 2"_s.arg(entryName(index, i)).arg(end)
                                 : u"%1: end offset %2 is not at least the previous one (%3) + 2"_s.arg(
                                       entryName(index, i)).arg(end).arg(previous));
                usable = false;
            }
            if (end < 0 || end + 2 > fileSize) {
                found.add(u"end offset past the file"_s,
                          u"%1: end offset %2 lies past the article file (%3 bytes)"_s.arg(entryName(index, i))
                              .arg(end)
                              .arg(fileSize));
                usable = false;
            } else if (data && end % 2 == 0 && (data[end] != 0 || data[end + 1] != 0)) {
                found.add(u"missing terminator"_s,
                          u"%1: no U+0000 at end offset %2"_s.arg(entryName(index, i)).arg(end));
                usable = false;
            }
            if (usable && known && data) {
                // A U+0000 inside the text cuts the article short.
                for (int64_t at = previous + 2; at + 1 < end; at += 2) {
                    if (data[at] == 0 && data[at + 1] == 0) {
                        hints.add(u"article cut short"_s,
                                  u"%1: a U+0000 at offset %2 ends the article before its end offset %3"_s.arg(
                                      entryName(index, i)).arg(at).arg(end));
                        break;
                    }
                }
            }
            previous = end;
            known = true;
        }
    }

    // Letter index.
    if (!isFilePresent(letterPath)) {
        report.notes.append(u"no letter index: the viewer lists every headword (full mode)"_s);
        return report;
    }
    QFile letterFile(letterPath);
    if (!letterFile.open(QIODevice::ReadOnly)) {
        report.problems.append(u"can't read %1: %2"_s.arg(QDir::toNativeSeparators(letterPath), letterFile.errorString()));
        return report;
    }
    const QByteArray letterBytes = letterFile.read(LetterIndexBytes + 1);
    if (letterBytes.size() < LetterIndexBytes) {
        report.problems.append(u"letter index: %1 bytes, fewer than %2 (the viewer stops with \"Read beyond end of "
                               u"file\")"_s.arg(letterBytes.size())
                                   .arg(LetterIndexBytes));
        return report;
    }
    if (letterBytes.size() > LetterIndexBytes)
        report.notes.append(u"letter index: longer than %1 bytes; the rest is ignored"_s.arg(LetterIndexBytes));
    LetterIndex letters;
    for (int e = 0; e < LetterIndexEntries; ++e)
        letters[size_t(e)] = {readLe32(letterBytes.constData() + 8 * e), readLe32(letterBytes.constData() + 8 * e + 4)};

    const int32_t count = index.count();
    std::vector<uint8_t> keys(static_cast<size_t>(count));
    std::vector<int64_t> keyCount(LetterIndexEntries, 0);
    std::vector<int32_t> keyFirst(LetterIndexEntries, -1);
    std::vector<int32_t> keyLast(LetterIndexEntries, -1);
    for (int32_t i = 0; i < count; ++i) {
        const int k = keyEntryOfHeadword(index.nameView(i));
        keys[size_t(i)] = uint8_t(k);
        ++keyCount[size_t(k)];
        if (keyFirst[size_t(k)] < 0)
            keyFirst[size_t(k)] = i;
        keyLast[size_t(k)] = i;
    }

    Findings found(report.problems);
    std::vector<std::pair<LetterRange, int>> valid;
    for (int e = 0; e < LetterIndexEntries; ++e) {
        const LetterRange r = letters[size_t(e)];
        const QString range = u"[%1, %2]"_s.arg(r.first).arg(r.last);
        if (r.first == -1) {
            if (keyCount[size_t(e)] > 0)
                found.add(u"letter without a range"_s,
                          u"%1: first is -1, but %2 headwords have this key letter (from entry %3); the search "
                          u"can't find them"_s.arg(letterName(e)).arg(keyCount[size_t(e)]).arg(keyFirst[size_t(e)]));
            continue;
        }
        if (r.first < 0 || r.last < 0 || r.first >= count || r.last >= count) {
            found.add(u"range outside the index"_s, u"%1: range %2 lies outside the entries 0..%3"_s.arg(
                                                         letterName(e), range).arg(count - 1));
            continue;
        }
        if (r.last < r.first) {
            found.add(u"empty range"_s, u"%1: range %2 ends before it begins"_s.arg(letterName(e), range));
            continue;
        }
        valid.push_back({r, e});
        for (int32_t i = r.first; i <= r.last; ++i) {
            if (keys[size_t(i)] != e)
                found.add(u"entry in the wrong range"_s, u"%1: %2 lies in its range %3 but has the key of %4"_s.arg(
                                                               letterName(e), entryName(index, i), range,
                                                               letterName(keys[size_t(i)])));
        }
        if (keyCount[size_t(e)] > 0 && (keyFirst[size_t(e)] < r.first || keyLast[size_t(e)] > r.last))
            found.add(u"headwords outside their range"_s,
                      u"%1: range %2 misses headwords of its letter (they lie in entries %3..%4)"_s.arg(
                          letterName(e), range).arg(keyFirst[size_t(e)]).arg(keyLast[size_t(e)]));
    }
    for (int e = 0; e < LetterIndexEntries; ++e) {
        const int64_t n = keyCount[size_t(e)];
        if (n > 0 && keyLast[size_t(e)] - keyFirst[size_t(e)] + 1 != n)
            found.add(u"letter not in one run"_s,
                      u"%1: its %2 headwords do not form one run (entries %3..%4 hold others too)"_s.arg(
                          letterName(e)).arg(n).arg(keyFirst[size_t(e)]).arg(keyLast[size_t(e)]));
    }
    std::sort(valid.begin(), valid.end(), [](const auto &a, const auto &b) { return a.first.first < b.first.first; });
    for (size_t k = 1; k < valid.size(); ++k) {
        // Compare with the furthest-reaching range so far, so nested ranges count too.
        for (size_t j = 0; j < k; ++j) {
            if (valid[j].first.last >= valid[k].first.first)
                found.add(u"overlapping ranges"_s,
                          u"%1 [%2, %3] and %4 [%5, %6] overlap"_s.arg(letterName(valid[j].second))
                              .arg(valid[j].first.first)
                              .arg(valid[j].first.last)
                              .arg(letterName(valid[k].second))
                              .arg(valid[k].first.first)
                              .arg(valid[k].first.last));
        }
    }
    return report;
}
