// glossa-lookup: prints the entry the viewer would select for a query.
// Exit status: 0 found, 1 nothing matches, 2 errors.

#include <QCoreApplication>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <cstdio>

#include "formats/html_markup.h"
#include "lookup/search.h"
#include "platform/errors.h"
#include "platform/mapped_file.h"
#include "store/article_file.h"
#include "store/dictionary_set.h"
#include "store/letter_index.h"
#include "store/word_index.h"
#include "view/article_page.h"

using namespace Qt::StringLiterals;

namespace {

void print(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fputs("\n", stream);
}

int usage()
{
    print(stderr, u"usage: glossa-lookup [--set <set-folder>] [--base NAME] [--format html|text|json] <query>\n"
                  u"The set folder defaults to ./glossa."_s);
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    QString folder = u"glossa"_s;
    QString base;
    QString format = u"html"_s;
    QStringList positional;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == u"--set"_s || a == u"--format"_s || a == u"--base"_s) {
            if (i + 1 >= args.size())
                return usage();
            (a == u"--set"_s ? folder : a == u"--base"_s ? base : format) = args[++i];
        } else if (a == u"--"_s) {
            positional += args.mid(i + 1);
            break;
        } else if (a.startsWith(u"--"_s)) {
            return usage();
        } else {
            positional.append(a);
        }
    }
    if (positional.size() != 1 || (format != u"html"_s && format != u"text"_s && format != u"json"_s))
        return usage();
    if (base.isEmpty())
        base = DefaultDictName;

    try {
        const QDir dir(folder);
        const QString wordPath = dir.filePath(base + WordIndexExtension);
        const QString articlePath = dir.filePath(base + ArticleFileExtension);
        const QString letterPath = dir.filePath(base + LetterIndexExtension);
        if (!isFilePresent(wordPath) || !isFilePresent(articlePath)) {
            print(stderr, u"glossa-lookup: "_s + MissingSetMessage + u" (" + QDir::toNativeSeparators(dir.path())
                              + u')');
            return 2;
        }
        LetterIndex letters{};
        const bool windowed = isFilePresent(letterPath);
        if (windowed)
            readLetterIndexFile(letterPath, letters);
        WordIndex index;
        index.loadFromFile(wordPath);

        const int32_t entry = findEntryForText(index, windowed, letters, positional[0]);
        if (entry < 0) {
            print(stderr, u"glossa-lookup: no headword begins with \"%1\""_s.arg(normalizeQuery(positional[0])));
            return 1;
        }
        ArticleFile articles;
        articles.setGranularity(systemAllocationGranularity());
        articles.open(articlePath);
        const QString headword = index.names(entry);
        QString article = articles.getArticle(index, entry);

        if (format == u"json"_s) {
            const QJsonObject object{{u"entry"_s, entry}, {u"headword"_s, headword}, {u"article"_s, article}};
            print(stdout, QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)));
        } else if (format == u"text"_s) {
            print(stdout, htmlToPlainText(article));
        } else {
            // As the viewer shows it: the article's first characters, as many as
            // the headword has, in bold.
            boldHeadword(article, headword.size());
            print(stdout, article);
        }
    } catch (const Exception &e) {
        print(stderr, u"glossa-lookup: "_s + e.message());
        return 2;
    } catch (const std::exception &e) {
        print(stderr, u"glossa-lookup: "_s + QString::fromLocal8Bit(e.what()));
        return 2;
    }
    return 0;
}
