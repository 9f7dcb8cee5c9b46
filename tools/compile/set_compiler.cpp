#include "set_compiler.h"

#include "formats/html_markup.h"
#include "formats/source_error.h"
#include "lookup/search.h"
#include "progress_bar.h"
#include "store/letter_index.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <array>
#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr int MaxWarnings = 20;

// Primary order: code units with Ё taken as Е; then Е before Ё.
uint32_t primaryWeight(char16_t c)
{
    return c == u'\u0401' ? u'\u0415' : c;
}

uint32_t secondaryWeight(char16_t c)
{
    return c == u'\u0401' ? uint32_t(u'\u0415') * 2 + 1 : uint32_t(c) * 2;
}

int compareBy(QStringView a, QStringView b, uint32_t (*weight)(char16_t))
{
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype k = 0; k < n; ++k) {
        const uint32_t wa = weight(a[k].unicode());
        const uint32_t wb = weight(b[k].unicode());
        if (wa != wb)
            return wa < wb ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

void writeAll(QFile &file, const void *data, qint64 size)
{
    if (file.write(static_cast<const char *>(data), size) != size)
        throw Exception(u"Cannot write temporary file \"%1\". %2"_s.arg(QDir::toNativeSeparators(file.fileName()),
                                                                        file.errorString()));
}

void readAll(QFile &file, void *data, qint64 size)
{
    if (file.read(static_cast<char *>(data), size) != size)
        throw Exception(u"Cannot read temporary file \"%1\". %2"_s.arg(QDir::toNativeSeparators(file.fileName()),
                                                                       file.errorString()));
}

// The entries of one key letter on disk: the headwords with the place of
// their bodies in one file, the bodies in another.
struct Bucket
{
    std::unique_ptr<QFile> keys;
    std::unique_ptr<QFile> bodies;
    int64_t bodyBytes = 0;
    int64_t count = 0;
};

struct KeyRecord
{
    int64_t bodyOffset;
    uint32_t bodyUnits;
    uint32_t headStart;
    uint32_t headUnits;
};

class Compiler
{
public:
    Compiler(const QString &input, const QString &folder, const CompileOptions &options,
             const std::function<void(const QString &)> &warn)
        : m_input(input)
        , m_folder(folder)
        , m_options(options)
        , m_warn(warn)
        , m_progress(options.progress)
    {
    }

    CompileResult run(SourceFormat format)
    {
        openTemporaryFolder();
        SourceContext context;
        context.tempDir = m_temp->path();
        context.entry = [this](const SourceEntry &e) { spill(e); };
        context.progress = [this](int64_t done, int64_t total) { m_progress.update(u"reading"_s, done, total); };
        readSource(format, m_input, context);
        if (m_warnings > MaxWarnings)
            warn(u"%1 more entries skipped"_s.arg(m_warnings - MaxWarnings));
        if (m_result.entriesRead - m_result.entriesSkipped == 0)
            raiseForFile(m_input, u"no entries found; nothing written"_s);
        writeSet();
        m_progress.finish();
        return m_result;
    }

private:
    void warn(const QString &text)
    {
        m_progress.finish();
        if (m_warn)
            m_warn(text);
    }

    void openTemporaryFolder()
    {
        QString parent = m_options.tempParent;
        if (parent.isEmpty())
            parent = QFileInfo(m_folder).absolutePath();
        QDir().mkpath(parent);
        m_temp = std::make_unique<QTemporaryDir>(QDir(parent).filePath(u".glossa-compile-XXXXXX"_s));
        if (!m_temp->isValid())
            m_temp = std::make_unique<QTemporaryDir>();
        if (!m_temp->isValid())
            throw Exception(u"Cannot create a temporary folder. %1"_s.arg(m_temp->errorString()));
    }

    Bucket &bucket(int entry)
    {
        Bucket &b = m_buckets[size_t(entry)];
        if (!b.keys) {
            const QDir dir(m_temp->path());
            b.keys = std::make_unique<QFile>(dir.filePath(u"keys-%1"_s.arg(entry)));
            b.bodies = std::make_unique<QFile>(dir.filePath(u"bodies-%1"_s.arg(entry)));
            for (QFile *f : {b.keys.get(), b.bodies.get()}) {
                if (!f->open(QIODevice::ReadWrite | QIODevice::Truncate))
                    throw Exception(u"Cannot create temporary file \"%1\". %2"_s.arg(
                        QDir::toNativeSeparators(f->fileName()), f->errorString()));
            }
        }
        return b;
    }

    void spill(const SourceEntry &e)
    {
        ++m_result.entriesRead;
        const QString headword = storedHeadword(e.headword);
        QString fault = headwordFault(headword, WordIndexEncoding::Utf16);
        if (!fault.isEmpty()) {
            ++m_result.entriesSkipped;
            if (++m_warnings <= MaxWarnings)
                warn(describePosition(e.file, e.where) + u": entry skipped: " + fault);
            return;
        }
        if (m_allFit1251 && !headwordFault(headword, WordIndexEncoding::Windows1251).isEmpty())
            m_allFit1251 = false;
        QString body = e.body;
        if (body.contains(QChar(0)))
            body.remove(QChar(0));
        if (body.size() > (1 << 29))
            raiseForFile(e.file, describePosition(e.file, e.where) + u": article longer than 2^29 characters"_s);

        Bucket &b = bucket(keyEntryOfHeadword(headword));
        const KeyRecord record{b.bodyBytes, uint32_t(body.size()), 0, uint32_t(headword.size())};
        writeAll(*b.keys, &record, sizeof record);
        writeAll(*b.keys, headword.constData(), qint64(headword.size()) * 2);
        writeAll(*b.bodies, body.constData(), qint64(body.size()) * 2);
        b.bodyBytes += qint64(body.size()) * 2;
        ++b.count;
    }

    void writeSet()
    {
        int64_t total = 0;
        for (const Bucket &b : m_buckets)
            total += b.count;
        m_result.encoding = m_allFit1251 ? WordIndexEncoding::Windows1251 : WordIndexEncoding::Utf16;

        std::unique_ptr<SetWriter> writer;
        int64_t done = 0;
        QString article;
        for (Bucket &b : m_buckets) {
            if (!b.keys)
                continue;
            // This letter's headwords, in memory; the bodies stay on disk.
            QString arena;
            std::vector<KeyRecord> records;
            records.reserve(size_t(b.count));
            if (!b.keys->flush() || !b.bodies->flush() || !b.keys->seek(0))
                throw Exception(u"Cannot write temporary file \"%1\". %2"_s.arg(
                    QDir::toNativeSeparators(b.keys->fileName()), b.keys->errorString()));
            for (int64_t k = 0; k < b.count; ++k) {
                KeyRecord r{};
                readAll(*b.keys, &r, sizeof r);
                r.headStart = uint32_t(arena.size());
                const qsizetype at = arena.size();
                arena.resize(at + r.headUnits);
                readAll(*b.keys, arena.data() + at, qint64(r.headUnits) * 2);
                records.push_back(r);
            }
            b.keys.reset();
            const auto head = [&](uint32_t i) {
                return QStringView(arena).sliced(records[i].headStart, records[i].headUnits);
            };
            std::vector<uint32_t> order(records.size());
            for (uint32_t i = 0; i < order.size(); ++i)
                order[i] = i;
            std::sort(order.begin(), order.end(), [&](uint32_t x, uint32_t y) {
                const QStringView hx = head(x);
                const QStringView hy = head(y);
                if (int c = compareBy(hx, hy, primaryWeight))
                    return c < 0;
                if (int c = compareBy(hx, hy, secondaryWeight))
                    return c < 0;
                return x < y;
            });

            size_t k = 0;
            while (k < order.size()) {
                const QStringView headword = head(order[k]);
                article = escapeHtml(headword);
                appendBody(b, records[order[k]], article);
                size_t next = k + 1;
                while (m_options.mergeDuplicates && next < order.size() && head(order[next]) == headword) {
                    article += u"<hr>"_s;
                    appendBody(b, records[order[next]], article);
                    ++m_result.duplicatesMerged;
                    ++next;
                }
                if (!writer)
                    writer = makeWriter(headword, article);
                writer->add(headword, article);
                ++m_result.entriesWritten;
                done += int64_t(next - k);
                k = next;
                m_progress.update(u"writing"_s, done, total);
            }
            b.bodies.reset();
        }
        m_progress.update(u"writing"_s, total, total);
        writer->finish();
    }

    void appendBody(Bucket &b, const KeyRecord &r, QString &article)
    {
        const qsizetype at = article.size();
        article.resize(at + qsizetype(r.bodyUnits));
        if (!b.bodies->seek(r.bodyOffset))
            throw Exception(u"Cannot read temporary file \"%1\". %2"_s.arg(
                QDir::toNativeSeparators(b.bodies->fileName()), b.bodies->errorString()));
        readAll(*b.bodies, article.data() + at, qint64(r.bodyUnits) * 2);
    }

    std::unique_ptr<SetWriter> makeWriter(QStringView firstHeadword, const QString &firstArticle)
    {
        SetWriterOptions options;
        options.letterIndex = true;
        options.encoding = m_result.encoding;
        // A Windows-1251 word index must not start with bytes that read as a mark.
        if (options.encoding == WordIndexEncoding::Windows1251
            && !encodingFault({SetEntry{firstHeadword.toString(), firstArticle}}, options.encoding).isEmpty())
            options.encoding = m_result.encoding = WordIndexEncoding::Utf16;
        return std::make_unique<SetWriter>(m_folder, m_options.baseName, options);
    }

    QString m_input;
    QString m_folder;
    CompileOptions m_options;
    std::function<void(const QString &)> m_warn;
    ProgressBar m_progress;
    std::unique_ptr<QTemporaryDir> m_temp;
    std::array<Bucket, LetterIndexEntries> m_buckets;
    CompileResult m_result;
    bool m_allFit1251 = true;
    int64_t m_warnings = 0;
};

} // namespace

QString storedHeadword(QStringView sourceHeadword)
{
    QString cleaned;
    cleaned.reserve(sourceHeadword.size());
    bool blank = false;
    for (QChar c : sourceHeadword) {
        const char16_t u = c.unicode();
        if (u <= 0x20 || u == 0x7F || u == 0xA0 || (u >= 0x80 && u < 0xA0)) {
            // Line breaks and controls can't stand in a word index line.
            blank = !cleaned.isEmpty();
            continue;
        }
        if (blank)
            cleaned += u' ';
        blank = false;
        cleaned += c;
    }
    // The search turns every Ё of a query into Е, so a headword stored with Ё
    // could never be found.
    return replaceYo(upperCaseUnits(cleaned));
}

CompileResult compileSet(SourceFormat format, const QString &input, const QString &folder,
                         const CompileOptions &options, const std::function<void(const QString &)> &warn)
{
    Compiler compiler(input, folder, options, warn);
    return compiler.run(format);
}
