// Start-up to the first article with a 1,000,000-entry set, in full and in
// windowed mode, and the time of one row change (article read, page composed
// and written, page shown). The event loop makes Google Benchmark's harness a
// poor fit here, so this program times with QElapsedTimer and prints.
//
//   build/bench/bench_startup [entries=1000000]

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/MainForm.h"
#include "app/program_state.h"
#include "lookup/string_grid.h"
#include "platform/error_report.h"
#include "store/set_writer.h"
#include "view/embedded_wb.h"

using namespace Qt::StringLiterals;

namespace {

void writeSet(const QString &folder, int entries, bool letterIndex)
{
    SetWriterOptions options;
    options.letterIndex = letterIndex;
    SetWriter writer(folder + u"/glossa"_s, u"glossa"_s, options);
    const QString article = u" — имя существительное; пример статьи средней длины. "_s.repeated(8);
    for (int i = 0; i < entries; ++i) {
        const QString headword = u"СЛОВО%1"_s.arg(i, 7, 10, QLatin1Char('0'));
        writer.add(headword, QString(headword + article));
    }
    writer.finish();
}

bool waitForPage(TEmbeddedWB *view, int timeoutMs = 10000)
{
    QEventLoop loop;
    bool ok = false;
    const auto connection = QObject::connect(view, &TEmbeddedWB::pageShown, &loop, [&](bool shown) {
        ok = shown;
        loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    QObject::disconnect(connection);
    return ok;
}

void measure(const char *mode, const QString &dir)
{
    QDir::setCurrent(dir);
    resetProgramState();

    QElapsedTimer timer;
    timer.start();
    auto form = std::make_unique<TForm1>();
    bool firstPage = false;
    QObject::connect(form->Emb, &TEmbeddedWB::pageShown, form.get(), [&](bool ok) {
        if (ok && !programState().CurrentHeadword.isEmpty())
            firstPage = true;
    });
    form->show();
    const qint64 startupMs = timer.elapsed();
    while (!firstPage && timer.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    const qint64 firstArticleMs = timer.elapsed();
    std::printf("%-9s start-up sequence: %5lld ms, first article shown: %5lld ms\n", mode,
                static_cast<long long>(startupMs), static_cast<long long>(firstArticleMs));

    // Row changes: the synchronous part (read, compose, hand to the view) and
    // the whole way to the page on show.
    constexpr int changes = 50;
    std::vector<double> syncUs;
    std::vector<double> shownMs;
    TStringGrid *grid = form->StringGrid1;
    for (int i = 0; i < changes; ++i) {
        const int row = 1 + (i * 7) % std::max(1, grid->rowCount() - 1);
        QElapsedTimer change;
        change.start();
        reportErrors([&] { grid->setRow(row == grid->row() ? row - 1 : row); });
        syncUs.push_back(double(change.nsecsElapsed()) / 1000.0);
        waitForPage(form->Emb);
        shownMs.push_back(double(change.nsecsElapsed()) / 1e6);
    }
    std::sort(syncUs.begin(), syncUs.end());
    std::sort(shownMs.begin(), shownMs.end());
    std::printf("%-9s row change: read+compose+write %7.1f us (median), page shown %6.1f ms (median)\n", mode,
                syncUs[changes / 2], shownMs[changes / 2]);
    form->close();
}

} // namespace

int main(int argc, char *argv[])
{
    TEmbeddedWB::registerUrlScheme();
    QApplication app(argc, argv);
    const int entries = argc > 1 ? std::max(2, std::atoi(argv[1])) : 1'000'000;

    QTemporaryDir full;
    QTemporaryDir windowed;
    QElapsedTimer timer;
    timer.start();
    writeSet(full.path(), entries, false);
    writeSet(windowed.path(), entries, true);
    std::printf("sets of %d entries written in %lld ms\n", entries, static_cast<long long>(timer.elapsed()));

    measure("full", full.path());
    measure("windowed", windowed.path());
    QDir::setCurrent(QDir::tempPath());
    return 0;
}
