// The word list's operations and its select handler.

#include <QScopeGuard>

#include "app/MainForm.h"
#include "app/program_state.h"
#include "lookup/query_box.h"
#include "lookup/string_grid.h"
#include "view/article_page.h"
#include "view/embedded_wb.h"

int32_t TForm1::rowToEntry(int row) const
{
    const ProgramState &s = programState();
    return s.WindowedMode ? s.WindowTarget - s.WindowBefore + row : row;
}

QString TForm1::rowText(int row) const
{
    const ProgramState &s = programState();
    if (!s.Words || row < 0 || row >= m_filledRows)
        return {};
    const int32_t entry = m_rowBase + row;
    if (entry < 0 || entry >= s.Words->count())
        return {};
    return s.Words->names(entry);
}

void TForm1::FillWordList()
{
    const ProgramState &s = programState();
    StringGrid1->setRowCount(s.Words->count());
    m_rowBase = 0;
    m_filledRows = s.Words->count();
    StringGrid1->refreshRows();
}

void TForm1::CentreOnRow(int32_t target)
{
    const int32_t count = programState().Words->count();
    StringGrid1->setRow(target);
    const int visible = StringGrid1->height() / StringGrid1->defaultRowHeight();
    const int half = visible / 2;
    const int above = target < half ? target : half;
    const int below = target + half > count - 1 ? count - 1 - target : half;

    StringGrid1->detachSelectHandler();
    const auto attach = qScopeGuard([this] { StringGrid1->attachSelectHandler(); });
    StringGrid1->setRow(StringGrid1->row() + below);
    StringGrid1->setRow(StringGrid1->row() - above - below);
    StringGrid1->setRow(StringGrid1->row() + above);
}

void TForm1::ShowWordWindow(int32_t target)
{
    ProgramState &s = programState();
    const int32_t count = s.Words->count();
    int visible = StringGrid1->height() / StringGrid1->defaultRowHeight();
    if (visible < 3)
        return;

    // Up to 400 entries before the target and 399 after it.
    s.WindowTarget = target;
    const int32_t before = count < 400 ? count : 400;
    const int32_t end = int64_t(target) + before > count ? count : target + before;
    int32_t start = target - before;
    s.WindowBefore = before;
    if (start < 0) {
        s.WindowBefore = target;
        start = 0;
    }
    const int32_t rows = end - start;
    StringGrid1->setRowCount(rows);

    if (visible > rows)
        visible = rows;
    const int half = visible / 2;
    int above = half;
    int below = half;

    m_rowBase = start;
    m_filledRows = rows;
    StringGrid1->refreshRows();

    StringGrid1->detachSelectHandler();
    auto attach = qScopeGuard([this] { StringGrid1->attachSelectHandler(); });
    StringGrid1->setRow(s.WindowBefore);
    if (target < above)
        above = target;
    if (target + below > count - 1)
        below = count - 1 - target;
    StringGrid1->setRow(StringGrid1->row() + below);
    StringGrid1->setRow(StringGrid1->row() - above - below);
    StringGrid1->setRow(StringGrid1->row() + above);

    // The handler runs once, for the target's row, by a step down and back.
    if (StringGrid1->row() == StringGrid1->rowCount() - 1) {
        StringGrid1->setRowCount(StringGrid1->rowCount() + 1);
        StringGrid1->setRow(StringGrid1->row() + 1);
        attach.dismiss();
        StringGrid1->attachSelectHandler();
        StringGrid1->setRow(StringGrid1->row() - 1);
        StringGrid1->setRowCount(StringGrid1->rowCount() - 1);
    } else {
        StringGrid1->setRow(StringGrid1->row() + 1);
        attach.dismiss();
        StringGrid1->attachSelectHandler();
        StringGrid1->setRow(StringGrid1->row() - 1);
    }
}

void TForm1::StringGrid1SelectCell(int row)
{
    ProgramState &s = programState();
    if (!s.Words)
        return; // start-up ended before the word index existed
    Q_EMIT selectCellRan(row);
    const int32_t entry = rowToEntry(row);
    QString headword = s.Words->names(entry);
    QString article = s.Articles.getArticle(*s.Words, entry);
    // Only a row whose article could be read becomes the headword on show:
    // after a failed read the history must not take a word never shown.
    s.CurrentHeadword = std::move(headword);

    if (QString::compare(rowText(row), ComboBox1->text(), Qt::CaseInsensitive) != 0 && s.ClearQueryOnSelect)
        ComboBox1->setText(QString());
    ComboBox1->putCaretAtEnd();

    Emb->showHtml(composePage(std::move(article), s.CurrentHeadword, s.PageHeader, s.PageFooter));
}

void TForm1::moveListBy(int step)
{
    const int row = StringGrid1->row();
    if (step > 0 && row < StringGrid1->rowCount() - 1)
        StringGrid1->setRow(row + 1);
    else if (step < 0 && row > 0)
        StringGrid1->setRow(row - 1);
}
