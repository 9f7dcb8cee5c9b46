#include "store/article_file.h"

#include "platform/errors.h"
#include "store/word_index.h"

#include <QStringView>
#include <QtEndian>

#include <cstring>

namespace {

// The messages of the article file, in one place.
QString openFailedMessage()
{
    return QStringLiteral("Ошибка открытия файла");
}

QString mappingFailedMessage()
{
    return QStringLiteral("Объект отображения не создан");
}

QString viewFailedMessage()
{
    return QStringLiteral("ошибка отображения данных");
}

QString badOffsetMessage(int32_t entry)
{
    return QStringLiteral("Повреждён словарь: неверное смещение статьи %1").arg(entry);
}

QString fileChangedMessage()
{
    return QStringLiteral("Файл статей изменился после открытия словаря");
}

} // namespace

ArticleViewPlan planArticleView(bool firstEntry, int64_t s, int64_t l, int64_t granularity, int64_t fileSize)
{
    const int64_t g = granularity;
    ArticleViewPlan plan;
    plan.offset = s < g ? 0 : (s / g) * g;
    const int64_t granules = l < g ? 2 : l / g + 2;
    plan.length = granules * g;
    if (s + plan.length + 1000 > fileSize)
        plan.length = 0;
    plan.lead = firstEntry ? 0 : s - plan.offset;
    return plan;
}

QString utf16TextUpToNul(const unsigned char *data, int64_t byteCount)
{
    const int64_t units = byteCount > 0 ? byteCount / 2 : 0;
    int64_t length = units;
    if (reinterpret_cast<quintptr>(data) % alignof(char16_t) == 0) {
        // U+0000 is the same in either byte order, so an aligned text can be
        // searched as it lies.
        const auto *text = reinterpret_cast<const char16_t *>(data);
        const qsizetype at = QStringView(text, qsizetype(units)).indexOf(QChar(u'\0'));
        if (at >= 0)
            length = at;
    } else {
        for (int64_t k = 0; k < units; ++k) {
            if (data[2 * k] == 0 && data[2 * k + 1] == 0) {
                length = k;
                break;
            }
        }
    }
    QString result(qsizetype(length), Qt::Uninitialized);
    // Copies bytewise where needed, so an odd address is no misaligned load.
    qFromLittleEndian<char16_t>(data, qsizetype(length), result.data());
    return result;
}

void ArticleFile::open(const QString &path)
{
    switch (m_file.open(path)) {
    case MappedFile::OpenResult::Ok:
        return;
    case MappedFile::OpenResult::CannotOpen:
        throw EMMFError(openFailedMessage());
    case MappedFile::OpenResult::CannotMap:
        throw Exception(mappingFailedMessage());
    }
}

void ArticleFile::close()
{
    m_file.close();
}

QString ArticleFile::getArticle(const WordIndex &index, int32_t entry) const
{
    // E(-1) stands for 0: the lead of entry 0 is the byte-order mark.
    const bool first = entry == 0;
    const int64_t s = first ? 0 : int64_t(index.endOffset(entry - 1));
    const int64_t e = int64_t(index.endOffset(entry));
    if (!m_file.isOpen() || m_granularity <= 0)
        throw Exception(viewFailedMessage());

    // The end offsets come from a file of their own: they must describe a
    // text inside this file, else the view and the copy would run outside it.
    const int64_t fileSize = m_file.size();
    if (s < 0 || s % 2 != 0 || e % 2 != 0 || e < s + 2 || e > fileSize - 2)
        throw Exception(badOffsetMessage(entry));
    if (m_file.currentSize() < fileSize)
        throw Exception(fileChangedMessage());

    // Both are 32-bit values with s <= e, so the 64-bit difference is the
    // one the 32-bit subtraction gives.
    const int64_t l = e - s;
    const ArticleViewPlan plan = planArticleView(first, s, l, m_granularity, fileSize);
    const MappedFileView view(m_file, plan.offset, plan.length);
    if (!view.isValid())
        throw Exception(viewFailedMessage());
    const int64_t textStart = plan.lead + 2;
    if (textStart > view.length())
        throw Exception(badOffsetMessage(entry));
    // Up to the first U+0000, never past the end of the view: a missing
    // terminator gives the text up to there.
    return utf16TextUpToNul(view.data() + textStart, view.length() - textStart);
}
