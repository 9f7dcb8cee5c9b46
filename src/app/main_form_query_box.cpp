// The search and the query box's handlers, and the look-up history.

#include <QLineEdit>
#include <QScopeGuard>

#include "app/MainForm.h"
#include "app/program_state.h"
#include "lookup/query_box.h"
#include "lookup/search.h"

void TForm1::ComboBox1Change()
{
    ProgramState &s = programState();
    if (!s.Words)
        return;
    const int32_t entry = findEntryForText(*s.Words, s.WindowedMode, s.Letters, ComboBox1->text());
    if (entry < 0)
        return;
    s.ClearQueryOnSelect = false;
    // On again also when the move fails.
    const auto restore = qScopeGuard([&s] { s.ClearQueryOnSelect = true; });
    if (s.WindowedMode)
        ShowWordWindow(entry);
    else
        CentreOnRow(entry);
}

void TForm1::ComboBox1KeyDown(int key)
{
    if (key == Qt::Key_Shift)
        ComboBox1->setText(QString());
}

void TForm1::ComboBox1MouseEnter()
{
    if (!programState().StartupDone)
        return;
    StringGrid1MouseMove();
}

void TForm1::StringGrid1MouseMove()
{
    ComboBox1->setFocus(Qt::MouseFocusReason);
    ComboBox1->putCaretAtEnd();
}

bool TForm1::queryBoxIsActive() const
{
    const QWidget *active = focusWidget();
    if (active == ComboBox1->lineEdit())
        active = ComboBox1;
    return active && active->objectName() == QLatin1String("ComboBox1");
}


void TForm1::PushHistory()
{
    const QString headword = programState().CurrentHeadword;
    if (ComboBox1->count() == 0) {
        ComboBox1->insertListItem(0, headword);
        return;
    }
    ComboBox1->insertListItem(0, headword);
    for (int i = 1; i < ComboBox1->count(); ++i) {
        if (QString::compare(ComboBox1->itemText(i), headword, Qt::CaseInsensitive) == 0) {
            ComboBox1->setCurrentIndex(0);
            ComboBox1->setText(ComboBox1->itemText(0));
            ComboBox1->removeListItem(i);
            ComboBox1->putCaretAtEnd();
            return;
        }
    }
    if (ComboBox1->count() >= 25)
        ComboBox1->removeListItem(24);
}
