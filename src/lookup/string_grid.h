#pragma once

#include <QString>
#include <QTableView>

#include <functional>

class RowTextModel;

// The word list: a one-column grid whose rows read their text on demand, so a
// list of a million headwords fills at once and keeps nothing per row.
//
// Rows stand 19 pixels apart (a 24-pixel default row height less 5 for the
// negative grid line width); a row counts as fully visible when its whole
// 24-pixel cell fits, so the 5 pixels under the last fully shown row belong to
// it; the lowest 5 pixels of the view are kept blank for that reason. The column is 600 pixels wide: long headwords are cut at the right edge.
//
// The current row changes only through setRow(): the program's calls and the
// user's clicks, keys and wheel all run the select handler first, and a handler
// that throws keeps the row where it was.
class TStringGrid : public QTableView
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TStringGrid)

public:
    using RowText = std::function<QString(int row)>;
    // Runs before the row changes, while row() is still the old row; an
    // exception from it aborts the change.
    using SelectHandler = std::function<void(int row)>;

    static constexpr int kDefaultRowHeight = 24;
    static constexpr int kGridLineWidth = -5;
    static constexpr int kRowPitch = kDefaultRowHeight + kGridLineWidth;
    static constexpr int kOverlap = -kGridLineWidth;
    static constexpr int kColumnWidth = 600;

    explicit TStringGrid(QWidget *parent = nullptr);
    ~TStringGrid() override;

    void setRowText(RowText rowText);
    int rowCount() const;
    // Below 1 counts as 1; the present count does nothing. A current row past
    // the new last row first moves there by setRow(), handler included; if the
    // handler throws, the count stays as it was.
    void setRowCount(int count);
    // The text source changed: every row is drawn anew.
    void refreshRows();

    int row() const { return m_row; }
    // The present row: nothing at all. Outside 0..rowCount()-1: throws
    // EInvalidGridOperation("Grid index out of range") and changes nothing.
    // Otherwise: the attached handler, then the row becomes current, then the
    // least scroll that shows it fully (above the view -> top row; below it ->
    // last fully visible row; in view -> no scroll).
    void setRow(int row);

    void setSelectHandler(SelectHandler handler);
    void detachSelectHandler() { m_handlerAttached = false; }
    void attachSelectHandler() { m_handlerAttached = true; }
    bool selectHandlerAttached() const { return m_handlerAttached; }

    int defaultRowHeight() const { return kDefaultRowHeight; }
    int topRow() const;
    int fullyVisibleRowCount() const;

    void scrollTo(const QModelIndex &index, ScrollHint hint = EnsureVisible) override;
    void keyboardSearch(const QString &search) override;

Q_SIGNALS:
    // The pointer moved over the rows.
    void mouseMoved();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void updateGeometries() override;

private:
    // The user's move to a row: bounded to the rows held, errors shown by the
    // error report instead of reaching the event loop.
    void navigateTo(int row);
    void wheelSteps(const QWheelEvent *event);
    void setTopRow(int top);
    void syncCurrentIndex();
    // Keeps the first shown row at a whole row, also at the end of the list.
    void pinRowOffset();

    RowTextModel *m_model = nullptr;
    SelectHandler m_handler;
    bool m_handlerAttached = true;
    int m_row = 0;
    int m_wheelRemainder = 0;
};
