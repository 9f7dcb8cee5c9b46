#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "store/dictionary_set.h"

using namespace Qt::StringLiterals;

namespace {

bool touch(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly);
}

} // namespace

class TestDictionarySet : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void dictionaryFilePath_namesFilesAfterTheFolder();
    void isFilePresent_data();
    void isFilePresent();
    void requiredFilesPresent_data();
    void requiredFilesPresent();
    void requiredFilesPresent_looksInTheWorkingDirectory();
};

void TestDictionarySet::dictionaryFilePath_namesFilesAfterTheFolder()
{
    QCOMPARE(dictionaryFilePath(DefaultDictName, WordIndexExtension), u"glossa/glossa.ogl"_s);
    QCOMPARE(dictionaryFilePath(DefaultDictName, ArticleFileExtension), u"glossa/glossa.uvs"_s);
    QCOMPARE(dictionaryFilePath(DefaultDictName, LetterIndexExtension), u"glossa/glossa.dvc"_s);
    QCOMPARE(dictionaryFilePath(u"other"_s, u".ogl"_s), u"other/other.ogl"_s);
}

void TestDictionarySet::isFilePresent_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<bool>("present");

    QTest::newRow("file") << u"file"_s << true;
    QTest::newRow("empty file") << u"empty file"_s << true;
    QTest::newRow("missing") << u"missing"_s << false;
    QTest::newRow("directory with the file's name") << u"directory"_s << false;
    QTest::newRow("missing folder") << u"missing folder"_s << false;
    QTest::newRow("empty path") << u"empty path"_s << false;
}

void TestDictionarySet::isFilePresent()
{
    QFETCH(QString, setup);
    QFETCH(bool, present);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QString path = dir.filePath(u"glossa.dvc"_s);
    if (setup == u"file") {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.write("data") == 4);
    } else if (setup == u"empty file") {
        QVERIFY(touch(path));
    } else if (setup == u"directory") {
        QVERIFY(QDir(dir.path()).mkdir(u"glossa.dvc"_s));
    } else if (setup == u"missing folder") {
        path = dir.filePath(u"glossa/glossa.dvc"_s);
    } else if (setup == u"empty path") {
        path.clear();
    }
    QCOMPARE(::isFilePresent(path), present);
}

void TestDictionarySet::requiredFilesPresent_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("directories");
    QTest::addColumn<bool>("present");

    QTest::newRow("both") << QStringList{u"glossa.ogl"_s, u"glossa.uvs"_s} << QStringList() << true;
    QTest::newRow("all three") << QStringList{u"glossa.ogl"_s, u"glossa.uvs"_s, u"glossa.dvc"_s} << QStringList()
                               << true;
    QTest::newRow("no word index") << QStringList{u"glossa.uvs"_s, u"glossa.dvc"_s} << QStringList() << false;
    QTest::newRow("no article file") << QStringList{u"glossa.ogl"_s} << QStringList() << false;
    QTest::newRow("neither") << QStringList() << QStringList() << false;
    QTest::newRow("article file is a directory") << QStringList{u"glossa.ogl"_s} << QStringList{u"glossa.uvs"_s}
                                                 << false;
    QTest::newRow("word index is a directory") << QStringList{u"glossa.uvs"_s} << QStringList{u"glossa.ogl"_s}
                                               << false;
    QTest::newRow("letter index directory does not matter")
        << QStringList{u"glossa.ogl"_s, u"glossa.uvs"_s} << QStringList{u"glossa.dvc"_s} << true;
}

void TestDictionarySet::requiredFilesPresent()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, directories);
    QFETCH(bool, present);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QDir root(dir.path());
    QVERIFY(root.mkdir(u"glossa"_s));
    for (const QString &name : files)
        QVERIFY(touch(root.filePath(u"glossa/"_s + name)));
    for (const QString &name : directories)
        QVERIFY(root.mkdir(u"glossa/"_s + name));

    // The set's base name is also its folder: check through the working directory.
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    const bool result = ::requiredFilesPresent(DefaultDictName);
    QDir::setCurrent(previous);
    QCOMPARE(result, present);
}

void TestDictionarySet::requiredFilesPresent_looksInTheWorkingDirectory()
{
    QTemporaryDir withSet;
    QTemporaryDir without;
    QVERIFY(withSet.isValid() && without.isValid());
    QDir root(withSet.path());
    QVERIFY(root.mkdir(u"glossa"_s));
    QVERIFY(touch(root.filePath(u"glossa/glossa.ogl"_s)));
    QVERIFY(touch(root.filePath(u"glossa/glossa.uvs"_s)));

    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(withSet.path()));
    const bool inSetFolder = ::requiredFilesPresent(DefaultDictName);
    QVERIFY(QDir::setCurrent(without.path()));
    const bool elsewhere = ::requiredFilesPresent(DefaultDictName);
    QDir::setCurrent(previous);
    QVERIFY(inSetFolder);
    QVERIFY(!elsewhere);
}

QTEST_GUILESS_MAIN(TestDictionarySet)
#include "tst_dictionary_set.moc"
