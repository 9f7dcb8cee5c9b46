#include <QApplication>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <functional>

#include "app/FormAbout.h"
#include "app/icons.h"
#include "app/site.h"
#include "platform/error_report.h"
#include "platform/url_opener.h"

using namespace Qt::StringLiterals;

class TestAboutBox : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void eachOpeningShowsNewBoxInInitialState();
    void layoutTextsAndLook();
    void centredOverMainWindow();
    void keysOnTheBox_data();
    void keysOnTheBox();
    void eachClickAsksAgainAndBoxStaysOpen_data();
    void eachClickAsksAgainAndBoxStaysOpen();
    void closedBoxDeletesItself();
    void iconsRenderAtWindowSizes_data();
    void iconsRenderAtWindowSizes();

private:
    // Opens the box as the "?" button does and runs body inside its modal loop;
    // then closes it through its close box. Returns the box, null once it is gone.
    QPointer<TAbout1> runAboutBox(const std::function<void(TAbout1 *)> &body);

    QWidget *m_main = nullptr;
    QList<QUrl> m_opened;
    bool m_openerResult = true;
    QStringList m_reports;
};

void TestAboutBox::init()
{
    m_opened.clear();
    m_reports.clear();
    m_openerResult = true;
    setUrlOpenerForTests([this](const QUrl &url) {
        m_opened.append(url);
        return m_openerResult;
    });
    setErrorReportSink([this](const QString &text) { m_reports.append(text); });
    setPlainMessageSink([this](const QString &text) { m_reports.append(text); });
    m_main = new QWidget;
    m_main->setGeometry(100, 80, 700, 480);
    m_main->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_main));
}

void TestAboutBox::cleanup()
{
    setUrlOpenerForTests({});
    setErrorReportSink({});
    setPlainMessageSink({});
    delete m_main;
    m_main = nullptr;
}

QPointer<TAbout1> TestAboutBox::runAboutBox(const std::function<void(TAbout1 *)> &body)
{
    QPointer<TAbout1> box;
    QTimer::singleShot(0, this, [&] {
        box = qobject_cast<TAbout1 *>(QApplication::activeModalWidget());
        if (!box) {
            const QWidgetList windows = QApplication::topLevelWidgets();
            for (QWidget *window : windows) {
                if (auto *about = qobject_cast<TAbout1 *>(window))
                    box = about;
            }
        }
        if (!box) {
            QFAIL("no About box is shown");
            return;
        }
        // The window system's activation reaches QApplication a little after the window's.
        if (QTest::qWaitFor([&] { return box && box->isActiveWindow(); }))
            body(box);
        else
            QTest::qFail("the About box did not become active", __FILE__, __LINE__);
        if (box)
            box->close();
    });
    showAboutBox(m_main);
    return box;
}

void TestAboutBox::eachOpeningShowsNewBoxInInitialState()
{
    const auto checkInitialState = [](TAbout1 *box) {
        QVERIFY(box->isVisible());
        QVERIFY(box->isModal());
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(box->Button1));
        QCOMPARE(box->size(), QSize(280, 130));
        QCOMPARE(box->Label1->text(), u"Толковый словарь Глоссы 1.00"_s);
    };

    QPointer<TAbout1> first = runAboutBox([&](TAbout1 *box) {
        checkInitialState(box);
        // Leave the box in another state than it started in.
        box->Button1->clearFocus();
        box->resize(300, 200);
    });
    if (QTest::currentTestFailed())
        return;
    QVERIFY(first.isNull()); // closed and destroyed

    bool ran = false;
    QPointer<TAbout1> second = runAboutBox([&](TAbout1 *box) {
        ran = true;
        checkInitialState(box);
    });
    QVERIFY(ran);
    QVERIFY(second.isNull());
}

void TestAboutBox::layoutTextsAndLook()
{
    runAboutBox([](TAbout1 *box) {
        QCOMPARE(box->windowTitle(), u"О программе"_s);
        QCOMPARE(box->minimumSize(), QSize(280, 130));
        QCOMPARE(box->maximumSize(), QSize(280, 130));
        QVERIFY(!box->windowIcon().isNull());

        const Qt::WindowFlags flags = box->windowFlags();
        QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(flags.testFlag(Qt::WindowSystemMenuHint));
        QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowContextHelpButtonHint));

        const QList<QWidget *> controls { box->Label1, box->Label2, box->Button1, box->Label4, box->Label3 };
        const QStringList names { u"Label1"_s, u"Label2"_s, u"Button1"_s, u"Label4"_s, u"Label3"_s };
        for (int i = 0; i < controls.size(); ++i) {
            QWidget *control = controls.at(i);
            QCOMPARE(control->objectName(), names.at(i));
            QCOMPARE(box->findChild<QWidget *>(names.at(i)), control);
            QCOMPARE(control->font().family(), u"Arial"_s);
            QCOMPARE(control->font().pixelSize(), 12);
            // Inside the client area and clear of every other control.
            QVERIFY2(box->rect().contains(control->geometry()), qPrintable(names.at(i)));
            for (int j = i + 1; j < controls.size(); ++j)
                QVERIFY2(!control->geometry().intersects(controls.at(j)->geometry()),
                         qPrintable(names.at(i) + u" overlaps "_s + names.at(j)));
        }

        QCOMPARE(box->Label1->pos(), QPoint(8, 8));
        QCOMPARE(box->Label4->pos(), QPoint(8, 55));
        QCOMPARE(box->Label4->text(), u"Другие словари на сайте программы "_s + SiteHost + u':');
        QCOMPARE(box->Button1->geometry(), QRect(81, 85, 118, 22));
        QCOMPARE(box->Button1->text(), u"Перейти на сайт"_s);
        QVERIFY(!box->Button1->isDefault());
        QVERIFY(!box->Button1->autoDefault());

        // The labels size themselves to their one line of text.
        for (QLabel *label : { box->Label1, box->Label2, box->Label3, box->Label4 }) {
            QVERIFY(!label->text().isEmpty());
            QVERIFY(!label->text().contains(u'\n'));
            QVERIFY2(label->width() >= label->fontMetrics().horizontalAdvance(label->text()),
                     qPrintable(label->objectName()));
        }
        // Label2 and Label3 stand between the title and the web-site line.
        for (QLabel *label : { box->Label2, box->Label3 }) {
            QVERIFY(label->y() > box->Label1->geometry().bottom());
            QVERIFY(label->geometry().bottom() < box->Label4->y());
        }
    });
}

void TestAboutBox::centredOverMainWindow()
{
    runAboutBox([this](TAbout1 *box) {
        const QPoint offset = box->frameGeometry().center() - m_main->frameGeometry().center();
        QVERIFY2(offset.manhattanLength() <= 4, qPrintable(u"%1,%2"_s.arg(offset.x()).arg(offset.y())));
    });
}

void TestAboutBox::keysOnTheBox_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<int>("pagesOpened");

    QTest::newRow("Return") << int(Qt::Key_Return) << Qt::KeyboardModifiers() << 1;
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << Qt::KeyboardModifiers(Qt::KeypadModifier) << 1;
    QTest::newRow("Space") << int(Qt::Key_Space) << Qt::KeyboardModifiers() << 1;
    QTest::newRow("Esc") << int(Qt::Key_Escape) << Qt::KeyboardModifiers() << 0;
}

void TestAboutBox::keysOnTheBox()
{
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(int, pagesOpened);

    runAboutBox([&](TAbout1 *box) {
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(box->Button1));
        QTest::keyClick(box->Button1, Qt::Key(key), modifiers);
        QCOMPARE(m_opened.size(), pagesOpened);
        QVERIFY(box->isVisible());
        // Esc on the box itself leaves it open too.
        QTest::keyClick(box, Qt::Key_Escape);
        QVERIFY(box->isVisible());
        QCOMPARE(m_opened.size(), pagesOpened);
    });
    for (const QUrl &url : std::as_const(m_opened))
        QCOMPARE(url, TAbout1::otherDictionariesUrl());
}

void TestAboutBox::eachClickAsksAgainAndBoxStaysOpen_data()
{
    QTest::addColumn<bool>("openerSucceeds");
    QTest::newRow("the browser opens") << true;
    QTest::newRow("nothing can open the address") << false;
}

void TestAboutBox::eachClickAsksAgainAndBoxStaysOpen()
{
    QFETCH(bool, openerSucceeds);
    m_openerResult = openerSucceeds;

    runAboutBox([&](TAbout1 *box) {
        QTest::mouseClick(box->Button1, Qt::LeftButton);
        QTest::mouseClick(box->Button1, Qt::LeftButton);
        QVERIFY(box->isVisible());
        QCOMPARE(QApplication::activeModalWidget(), static_cast<QWidget *>(box));
    });
    const QUrl expected(u"https://"_s + SiteHost + u"/otherdic.html"_s);
    QVERIFY(expected.isValid());
    QCOMPARE(expected.host(), SiteHost);
    QCOMPARE(m_opened, QList<QUrl>({ expected, expected }));
    QVERIFY(m_reports.isEmpty()); // a failure is not reported
}

void TestAboutBox::closedBoxDeletesItself()
{
    QPointer<TAbout1> box = new TAbout1(m_main);
    box->show();
    QVERIFY(QTest::qWaitForWindowExposed(box));
    QVERIFY(box->close());
    QTRY_VERIFY(box.isNull());
}

void TestAboutBox::iconsRenderAtWindowSizes_data()
{
    QTest::addColumn<bool>("program");
    QTest::addColumn<int>("extent");
    for (const int extent : { 16, 32, 48 }) {
        QTest::addRow("program %d", extent) << true << extent;
        QTest::addRow("about %d", extent) << false << extent;
    }
}

void TestAboutBox::iconsRenderAtWindowSizes()
{
    QFETCH(bool, program);
    QFETCH(int, extent);

    const QIcon icon = program ? programIcon() : aboutIcon();
    QVERIFY(!icon.isNull());
    const QPixmap pixmap = icon.pixmap(QSize(extent, extent));
    QVERIFY(!pixmap.isNull());
    QCOMPARE(pixmap.size(), QSize(extent, extent));

    // Drawn, not an empty square: most of it is covered by the picture.
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    int opaque = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            opaque += qAlpha(image.pixel(x, y)) > 128 ? 1 : 0;
    }
    QVERIFY2(opaque > extent * extent / 2, qPrintable(QString::number(opaque)));

    // The two icons are different pictures.
    const QImage other = (program ? aboutIcon() : programIcon()).pixmap(QSize(extent, extent)).toImage();
    QVERIFY(other.convertToFormat(QImage::Format_ARGB32) != image);
}

QTEST_MAIN(TestAboutBox)
#include "tst_about_box.moc"
