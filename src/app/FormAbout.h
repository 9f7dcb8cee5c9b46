#pragma once

#include <QDialog>

class QKeyEvent;
class QLabel;
class QPushButton;
class QUrl;

// The About box: the dictionary's name and version, its edition, the
// makers' notice and a button that opens the page of other dictionaries on
// the program's web site. It has neither a default nor a cancel button: Esc
// leaves it open, Enter or Space on the focused button clicks it.
class TAbout1 final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TAbout1)

public:
    // Destroys itself once closed.
    explicit TAbout1(QWidget *parent = nullptr);

    // The address Button1 opens.
    static QUrl otherDictionariesUrl();

    // Opens the page in the user's web browser; a failure is not reported
    // and the box stays open.
    void Button1Click();

    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QPushButton *Button1 = nullptr;
    QLabel *Label4 = nullptr;
    QLabel *Label3 = nullptr;

protected:
    void keyPressEvent(QKeyEvent *event) override;
};

// The "?" button's action: a new About box each time, centred over the main
// window and modal; returns once the box has been closed (and destroyed).
void showAboutBox(QWidget *mainWindow);
