// Loading a word index of a million entries: time, and memory per byte of
// the index's UTF-16 text.

#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>

#include "store/text_decoding.h"
#include "store/word_index.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <random>

#ifdef __linux__
#include <fstream>
#include <string>
#endif

using namespace Qt::StringLiterals;

namespace {

constexpr int EntryCount = 1'000'000;

// Headwords built from Russian syllables, 1 to 5 of them, in capitals;
// offsets grow by the size of a plausible article.
QString makeIndexText()
{
    static const char16_t *const syllables[] = {
        u"А",   u"БА",  u"ВО",  u"ГРА", u"ДЕ",  u"ЖИ",  u"ЗА",  u"КО",  u"ЛЕ",  u"МА",  u"НО",  u"ПРИ",
        u"РО",  u"СТ",  u"ТЕ",  u"У",   u"ФИ",  u"ХО",  u"ЦЕ",  u"ЧА",  u"ШИ",  u"ЩЕ",  u"ЫЙ",  u"ЬЕ",
        u"Э",   u"ЮЛ",  u"ЯР",  u"ЁЛ",  u"НИЕ", u"ОСТЬ", u"ТЬ", u"СКИЙ", u"-ТО", u"ЕНЬ", u"ИК",  u"ОВ",
    };
    constexpr int syllableCount = int(sizeof(syllables) / sizeof(syllables[0]));
    std::mt19937 random(20240601);
    std::uniform_int_distribution<int> pick(0, syllableCount - 1);
    std::uniform_int_distribution<int> length(1, 5);
    std::uniform_int_distribution<int> articleSize(200, 2400);

    QString text;
    text.reserve(qsizetype(EntryCount) * 24);
    int64_t offset = 2;
    for (int i = 0; i < EntryCount; ++i) {
        const int n = length(random);
        for (int s = 0; s < n; ++s)
            text += QStringView(syllables[pick(random)]);
        offset += articleSize(random) & ~1;
        text += WordIndex::Separator;
        text += QString::number(offset);
        text += u"\r\n"_s;
    }
    return text;
}

struct IndexFile
{
    QTemporaryDir dir;
    QString path;
    qint64 bytes = 0;
};

const IndexFile &indexFile()
{
    static const std::unique_ptr<IndexFile> file = [] {
        auto result = std::make_unique<IndexFile>();
        result->path = result->dir.filePath(u"glossa.ogl"_s);
        QFile out(result->path);
        if (!out.open(QIODevice::WriteOnly) || out.write(encodeAnsi(makeIndexText())) < 0)
            std::fprintf(stderr, "cannot write %s\n", qPrintable(result->path));
        out.close();
        result->bytes = QFileInfo(result->path).size();
        return result;
    }();
    return *file;
}

#ifdef __linux__
// A field of /proc/self/status in bytes ("VmRSS", "VmHWM"), or -1.
double statusBytes(const char *field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const size_t fieldLength = std::strlen(field);
    while (std::getline(status, line)) {
        if (line.compare(0, fieldLength, field) == 0 && line.size() > fieldLength && line[fieldLength] == ':')
            return std::stod(line.substr(fieldLength + 1)) * 1024.0;
    }
    return -1;
}

// Starts the peak anew at the present size (Linux 4.0 and later).
bool resetPeak()
{
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return bool(clear);
}
#endif

void BM_WordIndexLoadFromFile(benchmark::State &state)
{
    const IndexFile &file = indexFile();
    std::unique_ptr<WordIndex> index;
    for (auto _ : state) {
        state.PauseTiming();
        index.reset();
        index = std::make_unique<WordIndex>();
        state.ResumeTiming();
        index->loadFromFile(file.path);
        benchmark::DoNotOptimize(index->count());
    }
    if (index->count() != EntryCount)
        state.SkipWithError("wrong entry count");

    const double textBytes = double(index->text().size()) * 2;
    const double held = double(index->text().capacity()) * 2 + double(index->lines().capacity()) * sizeof(LineSpan);
    state.counters["entries"] = index->count();
    state.counters["file_MB"] = double(file.bytes) / 1e6;
    state.counters["utf16_MB"] = textBytes / 1e6;
    state.counters["held_per_utf16_byte"] = held / textBytes;
    state.SetBytesProcessed(int64_t(state.iterations()) * file.bytes);

#ifdef __linux__
    // One more load, outside the timing, to see what it costs the process.
    index.reset();
    if (resetPeak()) {
        const double before = statusBytes("VmRSS");
        auto measured = std::make_unique<WordIndex>();
        measured->loadFromFile(file.path);
        const double peak = statusBytes("VmHWM");
        const double after = statusBytes("VmRSS");
        state.counters["rss_per_utf16_byte"] = (after - before) / textBytes;
        state.counters["peak_rss_per_utf16_byte"] = (peak - before) / textBytes;
    }
#endif
}

void BM_WordIndexEndOffsets(benchmark::State &state)
{
    const IndexFile &file = indexFile();
    WordIndex index;
    index.loadFromFile(file.path);
    for (auto _ : state) {
        int64_t sum = 0;
        for (int32_t i = 0; i < index.count(); ++i)
            sum += index.endOffset(i);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * index.count());
}

} // namespace

BENCHMARK(BM_WordIndexLoadFromFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WordIndexEndOffsets)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
