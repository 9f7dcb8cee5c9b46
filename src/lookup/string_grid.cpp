#include "lookup/string_grid.h"

#include <QAbstractTableModel>
#include <QFont>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>

#include "platform/error_report.h"
#include "platform/errors.h"

using namespace Qt::StringLiterals;

// One column of rows whose text comes from a callback when a row is drawn.
class RowTextModel final : public QAbstractTableModel
{
public:
    explicit RowTextModel(QObject *parent)
        : QAbstractTableModel(parent)
    {
    }

    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : m_rows; }
    int columnCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : 1; }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid() || index.row() >= m_rows || index.column() != 0 || index.parent().isValid())
            return {};
        switch (role) {
        case Qt::DisplayRole:
            if (!m_rowText)
                return QString();
            // Drawing has nobody to report to: a row that can't be read stays blank.
            try {
                return m_rowText(index.row());
            } catch (...) {
                return QString();
            }
        default:
            return {};
        }
    }

    Qt::ItemFlags flags(const QModelIndex &index) const override
    {
        if (!index.isValid())
            return Qt::NoItemFlags;
        return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    }

    void setRowText(TStringGrid::RowText rowText)
    {
        m_rowText = std::move(rowText);
        refresh();
    }

    void setRows(int rows)
    {
        if (rows > m_rows) {
            beginInsertRows({}, m_rows, rows - 1);
            m_rows = rows;
            endInsertRows();
        } else if (rows < m_rows) {
            beginRemoveRows({}, rows, m_rows - 1);
            m_rows = rows;
            endRemoveRows();
        }
    }

    void refresh()
    {
        if (m_rows > 0)
            Q_EMIT dataChanged(index(0, 0), index(m_rows - 1, 0), {Qt::DisplayRole});
    }

private:
    TStringGrid::RowText m_rowText;
    int m_rows = 1;
};

TStringGrid::TStringGrid(QWidget *parent)
    : QTableView(parent)
    , m_model(new RowTextModel(this))
{
    setModel(m_model);

    QFont font(u"Arial"_s);
    font.setPixelSize(11);
    setFont(font);

    setFrameStyle(QFrame::WinPanel | QFrame::Sunken);

    horizontalHeader()->hide();
    verticalHeader()->hide();
    horizontalHeader()->setMinimumSectionSize(0);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setDefaultSectionSize(kColumnWidth);
    horizontalHeader()->resizeSection(0, kColumnWidth);
    verticalHeader()->setMinimumSectionSize(0);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(kRowPitch);

    setShowGrid(true);
    setGridStyle(Qt::SolidLine);
    setWordWrap(false);
    setTextElideMode(Qt::ElideNone);
    setEditTriggers(NoEditTriggers);
    setSelectionMode(SingleSelection);
    setSelectionBehavior(SelectItems);
    setTabKeyNavigation(false);
    setAutoScroll(false);
    setDragEnabled(false);
    setCornerButtonEnabled(false);

    setVerticalScrollMode(ScrollPerItem);
    setHorizontalScrollMode(ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // The list moves when the scroll box is let go, not while it is dragged.
    verticalScrollBar()->setTracking(false);
    // A wheel over the scroll bar moves the current row as over the rows.
    verticalScrollBar()->installEventFilter(this);

    viewport()->setMouseTracking(true);

    syncCurrentIndex();
}

TStringGrid::~TStringGrid() = default;

void TStringGrid::setRowText(RowText rowText)
{
    m_model->setRowText(std::move(rowText));
}

int TStringGrid::rowCount() const
{
    return m_model->rowCount();
}

void TStringGrid::setRowCount(int count)
{
    count = std::max(count, 1);
    if (count == rowCount())
        return;
    if (m_row > count - 1)
        setRow(count - 1);
    m_model->setRows(count);
    // Scroll range and top row follow at once, not at the next layout pass.
    updateGeometries();
}

void TStringGrid::refreshRows()
{
    m_model->refresh();
    viewport()->update();
}

void TStringGrid::setRow(int row)
{
    if (row == m_row)
        return;
    if (row < 0 || row >= rowCount())
        throw EInvalidGridOperation(u"Grid index out of range"_s);
    if (m_handler && m_handlerAttached) {
        m_handler(row);
        // The handler must not have taken the row away.
        if (row >= rowCount())
            throw EInvalidGridOperation(u"Grid index out of range"_s);
    }
    m_row = row;
    syncCurrentIndex();

    const int top = topRow();
    const int shown = fullyVisibleRowCount();
    if (row < top)
        setTopRow(row);
    else if (row > top + shown - 1)
        setTopRow(row - shown + 1);
}

void TStringGrid::setSelectHandler(SelectHandler handler)
{
    m_handler = std::move(handler);
}

int TStringGrid::topRow() const
{
    return verticalScrollBar()->value();
}

// A row is fully visible when its whole 24-pixel cell fits: its 19 pixels and
// the 5 that reach under the next row.
int TStringGrid::fullyVisibleRowCount() const
{
    return std::max(1, (viewport()->height() - kOverlap) / kRowPitch);
}

void TStringGrid::setTopRow(int top)
{
    verticalScrollBar()->setValue(top);
}

void TStringGrid::syncCurrentIndex()
{
    selectionModel()->setCurrentIndex(m_model->index(m_row, 0), QItemSelectionModel::ClearAndSelect);
}

void TStringGrid::scrollTo(const QModelIndex &index, ScrollHint hint)
{
    if (!index.isValid() || index.model() != m_model)
        return;
    const int row = index.row();
    const int top = topRow();
    const int shown = fullyVisibleRowCount();
    switch (hint) {
    case EnsureVisible:
        if (row < top)
            setTopRow(row);
        else if (row > top + shown - 1)
            setTopRow(row - shown + 1);
        break;
    case PositionAtTop:
        setTopRow(row);
        break;
    case PositionAtBottom:
        setTopRow(row - shown + 1);
        break;
    case PositionAtCenter:
        setTopRow(row - shown / 2);
        break;
    }
}

void TStringGrid::keyboardSearch(const QString &)
{
    // Typing in the list selects nothing: the query box does the searching.
}

void TStringGrid::navigateTo(int row)
{
    row = std::clamp(row, 0, rowCount() - 1);
    if (row == m_row)
        return;
    reportErrors([&] { setRow(row); });
}

void TStringGrid::keyPressEvent(QKeyEvent *event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const bool ctrl = modifiers == Qt::ControlModifier;
    const bool plain = modifiers == Qt::NoModifier || modifiers == Qt::ShiftModifier;
    const int page = fullyVisibleRowCount();

    switch (event->key()) {
    case Qt::Key_Up:
        if (plain)
            return navigateTo(m_row - 1);
        break;
    case Qt::Key_Down:
        if (plain)
            return navigateTo(m_row + 1);
        break;
    case Qt::Key_PageUp:
        if (plain)
            return navigateTo(m_row - page);
        break;
    case Qt::Key_PageDown:
        if (plain)
            return navigateTo(m_row + page);
        break;
    case Qt::Key_Home:
        if (ctrl)
            return navigateTo(0);
        break;
    case Qt::Key_End:
        if (ctrl)
            return navigateTo(rowCount() - 1);
        break;
    default:
        break;
    }
    // Everything else belongs to the window, never to the item view's own
    // cursor, which would change the row behind setRow's back.
    event->ignore();
}

void TStringGrid::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid())
        navigateTo(index.row());
}

void TStringGrid::mouseDoubleClickEvent(QMouseEvent *event)
{
    mousePressEvent(event);
}

void TStringGrid::mouseMoveEvent(QMouseEvent *)
{
    Q_EMIT mouseMoved();
}

void TStringGrid::mouseReleaseEvent(QMouseEvent *)
{
}

void TStringGrid::wheelEvent(QWheelEvent *event)
{
    wheelSteps(event);
    event->accept();
}

bool TStringGrid::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == verticalScrollBar() && event->type() == QEvent::Wheel) {
        wheelSteps(static_cast<QWheelEvent *>(event));
        return true;
    }
    return QTableView::eventFilter(watched, event);
}

// One row for each full wheel step of 120 units; finer wheels add up until a
// step is reached. A move that fails drops the rest of the turn.
void TStringGrid::wheelSteps(const QWheelEvent *event)
{
    constexpr int step = 120;
    m_wheelRemainder += event->angleDelta().y();
    const int steps = m_wheelRemainder / step;
    m_wheelRemainder -= steps * step;
    for (int i = 0; i < std::abs(steps); ++i) {
        const int target = steps > 0 ? m_row - 1 : m_row + 1;
        if (target < 0 || target >= rowCount())
            break;
        if (!reportErrors([&] { setRow(target); })) {
            m_wheelRemainder = 0;
            break;
        }
    }
}

void TStringGrid::paintEvent(QPaintEvent *event)
{
    QTableView::paintEvent(event);
    // The lowest 5 pixels belong to the cell of the last fully visible row;
    // the row below it shows only in part.
    QPainter painter(viewport());
    const QRect viewRect = viewport()->rect();
    painter.fillRect(QRect(0, viewRect.bottom() - kOverlap + 1, viewRect.width(), kOverlap),
                     palette().brush(QPalette::Base));
}

void TStringGrid::scrollContentsBy(int dx, int dy)
{
    QTableView::scrollContentsBy(dx, dy);
    pinRowOffset();
}

void TStringGrid::updateGeometries()
{
    // The item view counts the rows whose 19 pixels fit and may lower the
    // top row by one too many on the way; the list counts whole cells.
    const int top = topRow();
    QTableView::updateGeometries();
    const int shown = fullyVisibleRowCount();
    verticalScrollBar()->setRange(0, std::max(0, rowCount() - shown));
    verticalScrollBar()->setPageStep(shown);
    verticalScrollBar()->setValue(top);
    // The column is cut at the right edge and never scrolled sideways.
    horizontalScrollBar()->setRange(0, 0);
    if (horizontalHeader()->offset() != 0)
        horizontalHeader()->setOffset(0);
    pinRowOffset();
}

// At the end of the list the item view would align the last row with the
// bottom edge, showing part of a row above the top row; keep the top row at
// the top edge instead, so that topRow() is what the user sees.
void TStringGrid::pinRowOffset()
{
    QHeaderView *rows = verticalHeader();
    const int wanted = rows->count() > 0 ? rows->sectionPosition(std::min(topRow(), rows->count() - 1)) : 0;
    if (rows->offset() != wanted) {
        rows->setOffset(wanted);
        viewport()->update();
    }
}
