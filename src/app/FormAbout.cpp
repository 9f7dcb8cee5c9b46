#include "app/FormAbout.h"

#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QUrl>

#include "app/icons.h"
#include "app/site.h"
#include "platform/url_opener.h"

using namespace Qt::StringLiterals;

namespace {

QLabel *makeLabel(QWidget *parent, const QString &name, const QString &text, int left, int top)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->move(left, top);
    label->adjustSize();
    return label;
}

} // namespace

TAbout1::TAbout1(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                  | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(u"About1"_s);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(u"О программе"_s);
    setWindowIcon(aboutIcon());
    QFont font(u"Arial"_s);
    font.setPixelSize(12);
    setFont(font);
    setFixedSize(280, 130);

    Label1 = makeLabel(this, u"Label1"_s, u"Толковый словарь Глоссы 1.00"_s, 8, 8);
    Label3 = makeLabel(this, u"Label3"_s, u"Издание 1.00"_s, 8, 24);
    Label2 = makeLabel(this, u"Label2"_s, u"© Составители словаря, 2026"_s, 8, 39);
    Label4 = makeLabel(this, u"Label4"_s, u"Другие словари на сайте программы "_s + SiteHost + u':', 8, 55);

    Button1 = new QPushButton(u"Перейти на сайт"_s, this);
    Button1->setObjectName(u"Button1"_s);
    Button1->setGeometry(81, 85, 118, 22);
    // An auto-default button would become the default one while it has the focus.
    Button1->setAutoDefault(false);
    Button1->setDefault(false);
    connect(Button1, &QPushButton::clicked, this, &TAbout1::Button1Click);
    Button1->setFocus();
}

QUrl TAbout1::otherDictionariesUrl()
{
    return QUrl(u"https://"_s + SiteHost + u"/otherdic.html"_s);
}

void TAbout1::Button1Click()
{
    openUrl(otherDictionariesUrl());
}

void TAbout1::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        // No cancel button: Esc leaves the box open.
        event->accept();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // No default button either: Enter clicks the button that has the focus.
        if ((event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            if (auto *button = qobject_cast<QPushButton *>(focusWidget())) {
                button->click();
                event->accept();
                return;
            }
        }
        break;
    default:
        break;
    }
    QDialog::keyPressEvent(event);
}

void showAboutBox(QWidget *mainWindow)
{
    // Qt centres a dialog over its parent's window when it is shown; exec()
    // deletes a WA_DeleteOnClose dialog once it returns.
    auto *about = new TAbout1(mainWindow);
    about->exec();
}
