#pragma once

#include <QDir>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <vector>

#include "app/MainForm.h"
#include "store/set_writer.h"

// A working directory of its own with a dictionary set, and the main window
// started in it. Error reports and plain messages are recorded, not shown.
class MainWindowFixture
{
public:
    MainWindowFixture();
    ~MainWindowFixture();
    MainWindowFixture(const MainWindowFixture &) = delete;
    MainWindowFixture &operator=(const MainWindowFixture &) = delete;

    QString path(const QString &relative) const { return m_dir.filePath(relative); }

    // Entries whose article is "<HEADWORD> — статья n".
    static std::vector<SetEntry> entries(const QStringList &headwords);
    // Headwords "СЛОВО0000" ... for n entries.
    static QStringList numberedHeadwords(int count, const QString &stem = QStringLiteral("СЛОВО"));

    // Writes glossa/glossa.ogl, .uvs and, with a letter index, .dvc.
    void writeSet(const std::vector<SetEntry> &entries, bool letterIndex = false);
    void writeFile(const QString &relative, const QByteArray &bytes);
    // АБАЖУР, БАЛКОН, ВЕТЕР (articles "АБАЖУР ...", "БАЛКОН", "ВЕТЕР"), the
    // third with the end offset "abc", which is no number.
    void writeSetWithBadThirdOffset();

    // Creates and shows the main window; waits until it is exposed unless
    // start-up ended the program.
    TForm1 *start();
    // The same in two steps, to watch the window's signals from the start.
    TForm1 *create();
    void show();
    TForm1 *form() const { return m_form.get(); }
    // Closes the window as the user does; false when it stayed open.
    bool close();

    // Waits until the view shows a page whose text contains `text`.
    bool waitForArticle(const QString &text, int timeoutMs = 10000);
    // The text of the page on show.
    QString articleText();

    QStringList errors;
    QStringList plainMessages;

private:
    QTemporaryDir m_dir;
    QString m_previousDir;
    std::unique_ptr<TForm1> m_form;
};
