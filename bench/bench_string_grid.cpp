#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QString>

#include <unistd.h>

#include "lookup/string_grid.h"

using namespace Qt::StringLiterals;

namespace {

constexpr int RowCount = 1'000'000;

QString headword(int row)
{
    return u"СЛОВО "_s + QString::number(row);
}

// Resident memory in bytes, from /proc/self/statm.
double residentBytes()
{
    QFile statm(u"/proc/self/statm"_s);
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toDouble() * double(sysconf(_SC_PAGESIZE)) : 0;
}

// The view's own bookkeeping for a million rows, taken once in a fresh
// process: the row text is never stored, but the item view keeps a small
// section record per row.
void BM_MemoryPerRow(benchmark::State &state)
{
    double extraBytes = 0;
    for (auto _ : state) {
        TStringGrid grid;
        grid.setRowText(headword);
        grid.resize(233, 441);
        grid.show();
        QApplication::processEvents();
        const double before = residentBytes();
        grid.setRowCount(RowCount);
        grid.viewport()->repaint();
        extraBytes = residentBytes() - before;
    }
    state.counters["bytes_per_row"] = extraBytes / RowCount;
}
BENCHMARK(BM_MemoryPerRow)->Iterations(1)->Unit(benchmark::kMillisecond);

// The main window's start-up fill: a million rows, then the first paint.
void BM_FillMillionRowsAndPaint(benchmark::State &state)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto grid = std::make_unique<TStringGrid>();
        grid->setRowText(headword);
        grid->resize(233, 441);
        grid->show();
        QApplication::processEvents();
        state.ResumeTiming();

        grid->setRowCount(RowCount);
        grid->viewport()->repaint();

        state.PauseTiming();
        grid.reset();
        QApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_FillMillionRowsAndPaint)->Unit(benchmark::kMillisecond);

// A jump across the whole list, as a search does: the row, the scroll and the paint.
void BM_JumpAcrossMillionRows(benchmark::State &state)
{
    TStringGrid grid;
    grid.setRowText(headword);
    grid.resize(233, 441);
    grid.show();
    QApplication::processEvents();
    grid.setRowCount(RowCount);
    int target = RowCount - 1;
    for (auto _ : state) {
        grid.setRow(target);
        grid.viewport()->repaint();
        target = RowCount - 1 - target;
    }
}
BENCHMARK(BM_JumpAcrossMillionRows)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
