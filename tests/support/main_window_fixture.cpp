#include "main_window_fixture.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QTest>
#include <QWebEnginePage>

#include "app/program_state.h"
#include "platform/error_report.h"
#include "view/embedded_wb.h"

MainWindowFixture::MainWindowFixture()
    : m_previousDir(QDir::currentPath())
{
    QDir::setCurrent(m_dir.path());
    resetProgramState();
    setErrorReportSink([this](const QString &text) { errors.append(text); });
    setPlainMessageSink([this](const QString &text) { plainMessages.append(text); });
}

MainWindowFixture::~MainWindowFixture()
{
    if (m_form && m_form->isVisible() && !m_form->terminationRequested()) {
        // Leave the way the user does, but never keep a window that refuses.
        m_form->close();
    }
    m_form.reset();
    resetProgramState();
    setErrorReportSink({});
    setPlainMessageSink({});
    QDir::setCurrent(m_previousDir);
}

std::vector<SetEntry> MainWindowFixture::entries(const QStringList &headwords)
{
    std::vector<SetEntry> result;
    result.reserve(size_t(headwords.size()));
    for (int i = 0; i < headwords.size(); ++i)
        result.push_back({headwords[i], headwords[i] + QStringLiteral(" — статья ") + QString::number(i)});
    return result;
}

QStringList MainWindowFixture::numberedHeadwords(int count, const QString &stem)
{
    QStringList headwords;
    headwords.reserve(count);
    for (int i = 0; i < count; ++i)
        headwords.append(stem + QStringLiteral("%1").arg(i, 5, 10, QLatin1Char('0')));
    return headwords;
}

void MainWindowFixture::writeSet(const std::vector<SetEntry> &entries, bool letterIndex)
{
    SetWriterOptions options;
    options.letterIndex = letterIndex;
    options.encoding = WordIndexEncoding::Utf16;
    SetWriter writer(path(QStringLiteral("glossa")), QStringLiteral("glossa"), options);
    for (const SetEntry &entry : entries)
        writer.add(entry.headword, entry.article);
    writer.finish();
}

void MainWindowFixture::writeFile(const QString &relative, const QByteArray &bytes)
{
    QDir(m_dir.path()).mkpath(QFileInfo(path(relative)).path());
    QFile file(path(relative));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write the fixture file %s", qPrintable(relative));
}

void MainWindowFixture::writeSetWithBadThirdOffset()
{
    const auto utf16 = [](const QString &text) {
        return QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
    };
    const QString lines = QStringLiteral("АБАЖУР\u2030" "22\r\nБАЛКОН\u2030" "36\r\nВЕТЕР\u2030" "abc\r\n");
    QByteArray articles("\xff\xfe", 2);
    for (const QString &article : {QStringLiteral("АБАЖУР ..."), QStringLiteral("БАЛКОН"), QStringLiteral("ВЕТЕР")})
        articles += utf16(article) + QByteArray(2, '\0');
    writeFile(QStringLiteral("glossa/glossa.ogl"), QByteArray("\xff\xfe", 2) + utf16(lines));
    writeFile(QStringLiteral("glossa/glossa.uvs"), articles);
}

TForm1 *MainWindowFixture::create()
{
    m_form = std::make_unique<TForm1>();
    return m_form.get();
}

void MainWindowFixture::show()
{
    m_form->show();
    if (!m_form->terminationRequested() && !QTest::qWaitForWindowExposed(m_form.get()))
        qWarning("the main window was not exposed");
}

TForm1 *MainWindowFixture::start()
{
    create();
    show();
    return m_form.get();
}

bool MainWindowFixture::close()
{
    return m_form->close();
}

QString MainWindowFixture::articleText()
{
    QString result;
    bool done = false;
    m_form->Emb->page()->runJavaScript(QStringLiteral("document.body ? document.body.innerText : ''"),
                                       [&](const QVariant &value) {
                                           result = value.toString();
                                           done = true;
                                       });
    QElapsedTimer timer;
    timer.start();
    while (!done && timer.elapsed() < 5000)
        QTest::qWait(5);
    return result;
}

bool MainWindowFixture::waitForArticle(const QString &text, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        if (articleText().contains(text))
            return true;
        QTest::qWait(20);
    }
    return false;
}
