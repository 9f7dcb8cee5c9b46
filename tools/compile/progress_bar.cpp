#include "progress_bar.h"

#include <cstdio>

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

bool ProgressBar::stderrIsTerminal()
{
    return isatty(fileno(stderr)) != 0;
}

ProgressBar::ProgressBar(bool enabled)
    : m_enabled(enabled)
{
    m_timer.start();
}

ProgressBar::~ProgressBar()
{
    finish();
}

void ProgressBar::update(const QString &phase, int64_t done, int64_t total)
{
    if (!m_enabled || (m_drawn && m_timer.elapsed() < 100 && done < total))
        return;
    m_timer.restart();
    constexpr int Width = 40;
    const double fraction = total > 0 ? double(std::min(done, total)) / double(total) : 0.0;
    const int filled = int(fraction * Width);
    QByteArray bar(filled, '#');
    bar.append(QByteArray(Width - filled, '.'));
    std::fprintf(stderr, "\r%-10s [%s] %3d%%", phase.toLocal8Bit().constData(), bar.constData(),
                 int(fraction * 100.0));
    std::fflush(stderr);
    m_drawn = true;
}

void ProgressBar::finish()
{
    if (m_drawn) {
        std::fputs("\n", stderr);
        std::fflush(stderr);
        m_drawn = false;
    }
}
