#include <benchmark/benchmark.h>

#include <QString>

#include "lookup/search.h"
#include "store/word_index.h"

using namespace Qt::StringLiterals;

namespace {

constexpr int32_t EntryCount = 1'000'000;

// A million headwords of six to ten capitals; every fifth begins with ПРО,
// as a real word list would, and the last is a word no other entry holds.
const WordIndex &millionEntries()
{
    static const WordIndex index = [] {
        const QString alphabet = u"АБВГДЕЖЗИКЛМНОПРСТУФХЦЧШЭЮЯ"_s;
        QString text;
        text.reserve(qsizetype(EntryCount) * 20);
        uint32_t seed = 12345;
        auto next = [&seed] {
            seed = seed * 1664525u + 1013904223u;
            return seed >> 8;
        };
        int32_t offset = 0;
        for (int32_t i = 0; i < EntryCount - 1; ++i) {
            if (i % 5 == 0)
                text += u"ПРО"_s;
            const int length = 6 + int(next() % 5);
            for (int k = 0; k < length; ++k)
                text += alphabet.at(qsizetype(next() % uint32_t(alphabet.size())));
            offset += 100;
            text += QChar(WordIndex::Separator) + QString::number(offset) + u"\r\n"_s;
        }
        text += u"ЯЯЯЯЯЯЯЯЯЯЯЯЯЯЯЯЯЯЯЯ"_s + QChar(WordIndex::Separator) + QString::number(offset + 100) + u"\r\n"_s;
        WordIndex words;
        words.loadFromText(text);
        return words;
    }();
    return index;
}

void runScan(benchmark::State &state, const QString &query, int32_t expected)
{
    const WordIndex &index = millionEntries();
    if (index.count() != EntryCount) {
        state.SkipWithError("index not built");
        return;
    }
    for (auto _ : state) {
        const int32_t found = findFirstWithPrefix(index, query, 0, index.count() - 1);
        benchmark::DoNotOptimize(found);
        if (found != expected) {
            state.SkipWithError("unexpected result");
            return;
        }
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * EntryCount);
}

void BM_FullScan_MatchesLast(benchmark::State &state)
{
    runScan(state, u"ЯЯЯЯЯЯЯЯЯЯЯЯЯЯЯЯЯЯЯЯ"_s, EntryCount - 1);
}

void BM_FullScan_NoMatch_LongSharedPrefix(benchmark::State &state)
{
    // ПРО shared with a fifth of the entries; ЙЙЙ occurs in no headword.
    runScan(state, u"ПРОЙЙЙ"_s, -1);
}

void BM_FullScan_NoMatch_NoSharedInitial(benchmark::State &state)
{
    runScan(state, u"ЙОД"_s, -1);
}

void BM_FindEntryForText_Full_NoMatch(benchmark::State &state)
{
    const WordIndex &index = millionEntries();
    const LetterIndex letters{};
    for (auto _ : state) {
        const int32_t found = findEntryForText(index, false, letters, u"  проййй "_s);
        benchmark::DoNotOptimize(found);
    }
}

} // namespace

BENCHMARK(BM_FullScan_MatchesLast)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FullScan_NoMatch_LongSharedPrefix)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FullScan_NoMatch_NoSharedInitial)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindEntryForText_Full_NoMatch)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
