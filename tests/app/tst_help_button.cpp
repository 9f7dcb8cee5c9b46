// The "?" button of the main window opens the About box.

#include <QApplication>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include "app/FormAbout.h"
#include "app/site.h"
#include "gui_test_main.h"
#include "main_window_fixture.h"
#include "platform/url_opener.h"

using namespace Qt::StringLiterals;

class tst_HelpButton : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void helpButton_opensNewModalAboutBoxEachTime();
};

void tst_HelpButton::helpButton_opensNewModalAboutBoxEachTime()
{
    MainWindowFixture fixture;
    fixture.writeSet(MainWindowFixture::entries({u"АБАЖУР"_s, u"БАЛКОН"_s}));
    TForm1 *form = fixture.start();
    QVERIFY(fixture.errors.isEmpty());
    QList<QUrl> opened;
    setUrlOpenerForTests([&opened](const QUrl &url) {
        opened.append(url);
        return true;
    });
    const auto restoreOpener = qScopeGuard([] { setUrlOpenerForTests({}); });
    const QUrl page(u"https://"_s + SiteHost + u"/otherdic.html"_s);

    QList<QPointer<TAbout1>> boxes;
    for (int opening = 1; opening <= 2; ++opening) {
        bool checked = false;
        QTimer::singleShot(0, form, [&] {
            auto *box = qobject_cast<TAbout1 *>(QApplication::activeModalWidget());
            if (!box)
                return; // the loop below ends the wait
            boxes.append(box);
            // Never leave the modal loop running on a failed check.
            const auto closeBox = qScopeGuard([box] { box->close(); });
            // A new box in its initial state.
            QCOMPARE(box->focusWidget(), static_cast<QWidget *>(box->Button1));
            QCOMPARE(box->parentWidget(), static_cast<QWidget *>(form));
            QVERIFY(box->isModal());

            QTest::keyClick(box, Qt::Key_Escape);
            QVERIFY(box->isVisible());
            QTest::mouseClick(box->Button1, Qt::LeftButton);
            QTest::mouseClick(box->Button1, Qt::LeftButton);
            QVERIFY(box->isVisible());
            checked = true;
        });

        QTest::mouseClick(form->SpeedButtonHelp, Qt::LeftButton);

        QVERIFY(checked);
        QCOMPARE(opened, QList<QUrl>(2 * opening, page));
        QVERIFY(!QApplication::activeModalWidget());
    }
    QCOMPARE(boxes.size(), 2);
    // Each box was destroyed once closed.
    QVERIFY(boxes[0].isNull());
    QVERIFY(boxes[1].isNull());
    QVERIFY(fixture.errors.isEmpty());
}

GLOSSA_GUI_TEST_MAIN(tst_HelpButton)
#include "tst_help_button.moc"
