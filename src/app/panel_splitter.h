#pragma once

#include <QSplitter>

// The splitter between the left and the right panel: a drag keeps the left
// panel at least `minLeft` wide and leaves at least `minRightOfHandle`
// pixels right of the handle, while the window's own resizing is bound only
// by the panels' minimum widths.
class PanelSplitter final : public QSplitter
{
    Q_OBJECT

public:
    PanelSplitter(int minLeft, int minRightOfHandle, QWidget *parent = nullptr);

    // Drags the handle to a position, as the pointer does.
    void dragTo(int position);

private:
    void keepRule();

    int m_minLeft;
    int m_minRightOfHandle;
};
