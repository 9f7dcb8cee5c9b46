#include "app/panel_splitter.h"

PanelSplitter::PanelSplitter(int minLeft, int minRightOfHandle, QWidget *parent)
    : QSplitter(Qt::Horizontal, parent)
    , m_minLeft(minLeft)
    , m_minRightOfHandle(minRightOfHandle)
{
    connect(this, &QSplitter::splitterMoved, this, &PanelSplitter::keepRule);
}

void PanelSplitter::dragTo(int position)
{
    moveSplitter(position, 1);
}

void PanelSplitter::keepRule()
{
    const QList<int> current = sizes();
    if (current.size() != 2)
        return;
    const int total = current[0] + current[1];
    const int maxLeft = width() - handleWidth() - m_minRightOfHandle;
    const int left = qMax(m_minLeft, qMin(current[0], maxLeft));
    if (left != current[0])
        setSizes({left, total - left});
}
