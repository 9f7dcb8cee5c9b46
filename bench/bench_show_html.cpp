#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEventLoop>
#include <QStandardPaths>
#include <QTimer>

#include "view/article_page.h"
#include "view/embedded_wb.h"

using namespace Qt::StringLiterals;

namespace {

TEmbeddedWB *view = nullptr;

// An article page of about `bytes` UTF-8 bytes.
QString pageOfSize(qsizetype bytes)
{
    const QString paragraph = u"<p>ДОМ, -а, м. Жилое здание; также помещение, в котором живут.</p>"_s;
    QString article = u"ДОМ, -а, м. "_s;
    while (article.toUtf8().size() + paragraph.toUtf8().size() <= bytes)
        article += paragraph;
    return composePage(article, u"ДОМ"_s, makePageHeader(), makePageFooter());
}

// From showHtml to pageShown, with the event loop running between.
void BM_ShowHtml(benchmark::State &state)
{
    // Two pages taken in turn, so every load changes what is shown.
    const QString pages[2] = {pageOfSize(state.range(0)), pageOfSize(state.range(0)) + u" "_s};
    int turn = 0;
    bool failed = false;
    for (auto _ : state) {
        QEventLoop loop;
        QTimer timeout;
        timeout.setSingleShot(true);
        QObject::connect(&timeout, &QTimer::timeout, &loop, [&] {
            failed = true;
            loop.quit();
        });
        QObject::connect(view, &TEmbeddedWB::pageShown, &loop, [&](bool ok) {
            failed = failed || !ok;
            loop.quit();
        });
        timeout.start(30'000);
        view->showHtml(pages[turn++ % 2]);
        loop.exec();
        if (failed) {
            state.SkipWithError("page not shown");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * pages[0].toUtf8().size());
}
BENCHMARK(BM_ShowHtml)->Arg(2'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    TEmbeddedWB::registerUrlScheme();
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    TEmbeddedWB wb;
    wb.resize(800, 600);
    wb.show();
    view = &wb;
    if (!wb.primeEmptyPage())
        return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
