#pragma once

#include <QString>

#include <cstdint>

#include "platform/mapped_file.h"

class WordIndex;

// Where the view of one article lies, from the lead at byte S of an article
// of L bytes (lead to terminator), for a file of `fileSize` bytes and view
// alignment G. Example, G = 65,536, S = 140,000, L = 160,000, size 1,000,000:
//   offset 131,072, length 262,144, lead at 8,928 inside the view.
struct ArticleViewPlan
{
    int64_t offset = 0; // V: the largest multiple of G not above S
    int64_t length = 0; // M: B * G, or 0 for a view up to the end of the file
    int64_t lead = 0;   // D: where the lead lies inside the view (0 for entry 0)
};

ArticleViewPlan planArticleView(bool firstEntry, int64_t s, int64_t l, int64_t granularity, int64_t fileSize);

// The UTF-16LE text at `data` up to, not including, the first U+0000, or up
// to the end of `byteCount` bytes when there is none (a last odd byte is
// ignored). `data` may be odd-aligned.
QString utf16TextUpToNul(const unsigned char *data, int64_t byteCount);

// The article file "glossa/glossa.uvs": FF FE, text 0, U+0000, text 1, U+0000, ...
// The word index's end offset E(i) is the byte offset of the U+0000 that ends
// text i; text i starts at E(i-1) + 2 (at 2 for entry 0).
class ArticleFile
{
public:
    void setGranularity(int64_t granularity) { m_granularity = granularity; }
    int64_t granularity() const { return m_granularity; }

    // Opens and maps the whole file. Raises EMMFError "Ошибка открытия файла"
    // when it can't be opened and Exception "Объект отображения не создан"
    // when it can't be mapped (an empty file).
    void open(const QString &path);
    void close();
    bool isOpen() const { return m_file.isOpen(); }
    int64_t fileSize() const { return m_file.size(); }

    // The text of entry i, copied out of a view that lives only inside this
    // call. Raises Exception "ошибка отображения данных" when no view can be
    // made (no open file), the word index's errors for its offsets, and a
    // clear error for offsets that point outside the file; never reads
    // outside the file, whatever the offsets say.
    QString getArticle(const WordIndex &index, int32_t entry) const;

private:
    MappedFile m_file;
    int64_t m_granularity = 65536;
};
