// getArticle on a set of a million entries: one view, one copy per read.
//   bench_article_file --benchmark_filter=GetArticle
#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>

#include "platform/mapped_file.h"
#include "store/article_file.h"
#include "store/word_index.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

constexpr int32_t EntryCount = 1000000;
constexpr int32_t ShortEntry = 500000; // about 1 KB
constexpr int32_t LongEntry = 700000;  // about 200 KB

QString articleOf(int32_t entry)
{
    const QString headword = u"СЛОВО"_s + QString::number(entry);
    QString article = u"<b>"_s + headword + u"</b> "_s;
    const qsizetype units = entry == ShortEntry ? 512 : entry == LongEntry ? 100 * 1024 : 8;
    while (article.size() < units)
        article += u"толкование "_s;
    return article;
}

// The set, written once into a temporary folder.
struct BenchSet
{
    QTemporaryDir dir;
    WordIndex index;
    QString articlePath;

    BenchSet()
    {
        if (!dir.isValid())
            fail("no temporary folder");
        QByteArray bytes("\xFF\xFE", 2);
        QString indexText;
        for (int32_t i = 0; i < EntryCount; ++i) {
            const QString article = articleOf(i);
            bytes.append(reinterpret_cast<const char *>(article.utf16()), article.size() * 2);
            indexText += u"СЛОВО"_s + QString::number(i) + WordIndex::Separator + QString::number(bytes.size())
                + u"\r\n"_s;
            bytes.append("\0\0", 2);
        }
        articlePath = dir.filePath(u"glossa.uvs"_s);
        QFile file(articlePath);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            fail("cannot write the article file");
        index.loadFromText(indexText);
    }

    [[noreturn]] static void fail(const char *what)
    {
        std::fprintf(stderr, "%s\n", what);
        std::abort();
    }
};

BenchSet &benchSet()
{
    static BenchSet set;
    return set;
}

void readArticle(benchmark::State &state, int32_t entry)
{
    BenchSet &set = benchSet();
    ArticleFile file;
    file.setGranularity(state.range(0));
    file.open(set.articlePath);
    qsizetype units = 0;
    for (auto _ : state) {
        const QString text = file.getArticle(set.index, entry);
        units = text.size();
        benchmark::DoNotOptimize(text.constData());
    }
    state.counters["units"] = double(units);
    state.SetBytesProcessed(int64_t(state.iterations()) * units * 2);
}

void BM_GetArticle_1KB(benchmark::State &state)
{
    readArticle(state, ShortEntry);
}

void BM_GetArticle_200KB(benchmark::State &state)
{
    readArticle(state, LongEntry);
}

void BM_GetArticle_LastEntry(benchmark::State &state)
{
    readArticle(state, EntryCount - 1);
}

} // namespace

// The argument is the granularity G: the page size here, and Windows' 64 KiB.
BENCHMARK(BM_GetArticle_1KB)->Arg(4096)->Arg(65536);
BENCHMARK(BM_GetArticle_200KB)->Arg(4096)->Arg(65536);
BENCHMARK(BM_GetArticle_LastEntry)->Arg(4096)->Arg(65536);

BENCHMARK_MAIN();
