#include "lookup/search.h"

#include "platform/errors.h"
#include "store/word_index.h"

#include <algorithm>

namespace {

constexpr char16_t Yo = u'\u0401';
constexpr char16_t Ye = u'\u0415';

bool isLatinCapital(char16_t c)
{
    return c >= u'A' && c <= u'Z';
}

// Throws the word index's own index error for an entry it does not hold.
[[noreturn]] void raiseOutOfBounds(const WordIndex &index, int32_t i)
{
    (void)index.line(i);
    // line() raises for every i outside the index; this is never reached.
    throw EStringListError(QStringLiteral("List index out of bounds (%1)").arg(i));
}

// Does the line, read as a headword, begin with the query? The query holds no
// separator, so a unit-for-unit match of its length never runs across one;
// a line without any separator has the empty headword and matches nothing.
bool lineStartsWith(const char16_t *line, uint32_t lineLength, const char16_t *query, uint32_t queryLength)
{
    if (lineLength < queryLength)
        return false;
    for (uint32_t k = 0; k < queryLength; ++k) {
        if (line[k] != query[k])
            return false;
    }
    for (uint32_t k = queryLength; k < lineLength; ++k) {
        if (line[k] == WordIndex::Separator)
            return true;
    }
    return false;
}

} // namespace

QStringView trimControls(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].unicode() <= 0x20)
        ++begin;
    while (end > begin && text[end - 1].unicode() <= 0x20)
        --end;
    return text.sliced(begin, end - begin);
}

QString upperCaseUnits(QStringView text)
{
    QString result(text.size(), Qt::Uninitialized);
    QChar *out = result.data();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar unit = text[i];
        // A surrogate half has no case of its own; the pair is left as it is.
        out[i] = unit.isSurrogate() ? unit : unit.toUpper();
    }
    return result;
}

QString replaceYo(QString text)
{
    text.replace(QChar(Yo), QChar(Ye));
    return text;
}

bool isCyrillicCapital(QStringView text)
{
    if (text.isEmpty())
        return false;
    const char16_t c = text.front().unicode();
    return c >= u'\u0410' && c <= u'\u042F';
}

void foldLatinAccent(QChar &c)
{
    switch (c.unicode()) {
    case u'\u00C0':
        c = QChar(u'A');
        break;
    case u'\u00C9':
        c = QChar(u'E');
        break;
    case u'\u00D6':
        c = QChar(u'O');
        break;
    default:
        break;
    }
}

QString normalizeQuery(QStringView boxText)
{
    const QStringView trimmed = trimControls(boxText);
    if (trimmed.isEmpty())
        return {};
    return replaceYo(upperCaseUnits(trimmed));
}

char16_t keyCharacter(QStringView query)
{
    if (query.isEmpty())
        return 0;
    qsizetype p = 0;
    const char16_t first = query[0].unicode();
    if ((first == u'-' || first == u'\'') && query.size() >= 2) {
        // The second character is tested as typed, before any accent folding.
        const QStringView second = query.sliced(1, 1);
        if (isCyrillicCapital(second) || isLatinCapital(second[0].unicode()))
            p = 1;
    }
    QChar key = query[p];
    foldLatinAccent(key);
    return key.unicode();
}

std::optional<SearchRange> searchRange(const WordIndex &index, bool windowedMode, const LetterIndex &letters,
                                       QStringView query)
{
    if (!windowedMode)
        return SearchRange{0, index.count() - 1};
    const LetterRange range = letterRangeFor(letters, keyCharacter(query));
    if (range.first == -1)
        return std::nullopt;
    return SearchRange{range.first, range.last};
}

int32_t findFirstWithPrefix(const WordIndex &index, QStringView query, int32_t first, int32_t last)
{
    if (last < first)
        return -1;

    const int32_t count = index.count();
    // Entries below 0 come first in the scan, entries from count on last;
    // either raises the index error when the scan gets there.
    if (first < 0)
        raiseOutOfBounds(index, first);
    const int32_t lastHeld = std::min(last, count - 1);

    // A headword never holds the separator, so such a query matches nothing:
    // the scan would only end at the end of the range.
    if (!query.contains(QChar(WordIndex::Separator))) {
        const char16_t *text = reinterpret_cast<const char16_t *>(index.text().constData());
        const std::vector<LineSpan> &lines = index.lines();
        const char16_t *q = reinterpret_cast<const char16_t *>(query.data());
        const auto queryLength = uint32_t(query.size());

        if (queryLength == 0) {
            if (first <= lastHeld)
                return first;
        } else {
            const char16_t q0 = q[0];
            for (int32_t i = first; i <= lastHeld; ++i) {
                const LineSpan span = lines[size_t(i)];
                if (span.length == 0 || text[span.start] != q0)
                    continue;
                if (lineStartsWith(text + span.start, span.length, q, queryLength))
                    return i;
            }
        }
    }

    if (last >= count)
        raiseOutOfBounds(index, std::max(first, count));
    return -1;
}

int32_t findEntryForText(const WordIndex &index, bool windowedMode, const LetterIndex &letters,
                         QStringView boxText)
{
    const QString query = normalizeQuery(boxText);
    if (query.isEmpty())
        return -1;
    const std::optional<SearchRange> range = searchRange(index, windowedMode, letters, query);
    if (!range)
        return -1;
    return findFirstWithPrefix(index, query, range->first, range->last);
}
