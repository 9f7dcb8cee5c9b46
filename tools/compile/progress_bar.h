#pragma once

#include <QElapsedTimer>
#include <QString>

#include <cstdint>

// A one-line progress bar on stderr, redrawn at most ten times a second.
// Draws nothing when disabled (stderr is no terminal).
class ProgressBar
{
public:
    explicit ProgressBar(bool enabled);
    ~ProgressBar();

    void update(const QString &phase, int64_t done, int64_t total);
    // Ends the bar's line, so that other output starts on a fresh one.
    void finish();

    static bool stderrIsTerminal();

private:
    bool m_enabled;
    bool m_drawn = false;
    QElapsedTimer m_timer;
};
