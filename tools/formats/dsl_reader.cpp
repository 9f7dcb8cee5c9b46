#include "dsl_reader.h"

#include "html_markup.h"
#include "line_reader.h"
#include "source_error.h"

#include <QRegularExpression>

#include <vector>

using namespace Qt::StringLiterals;

namespace {

struct OpenTag
{
    QString name;
    QString opening;
    QString closing;
};

// Removes {{comments}}; `inComment` carries a comment across lines.
QString stripComments(QStringView line, bool &inComment)
{
    QString out;
    out.reserve(line.size());
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (inComment) {
            if (line[i] == u'}' && i + 1 < line.size() && line[i + 1] == u'}') {
                inComment = false;
                ++i;
            }
            continue;
        }
        if (line[i] == u'\\' && i + 1 < line.size()) {
            out += line[i];
            out += line[i + 1];
            ++i;
            continue;
        }
        if (line[i] == u'{' && i + 1 < line.size() && line[i + 1] == u'{') {
            inComment = true;
            ++i;
            continue;
        }
        out += line[i];
    }
    return out;
}

QString collapseBlanks(QStringView text)
{
    return text.toString().simplified();
}

QString cssColor(QStringView arg)
{
    static const QRegularExpression name(u"^[A-Za-z]{1,30}$"_s);
    static const QRegularExpression hex(u"^#[0-9A-Fa-f]{3,8}$"_s);
    const QString value = arg.trimmed().toString();
    if (name.match(value).hasMatch() || hex.match(value).hasMatch())
        return value;
    return u"green"_s;
}

class CardRenderer
{
public:
    explicit CardRenderer(QStringView headword)
        : m_headword(escapeHtml(headword))
    {
    }

    void line(QStringView text)
    {
        text = text.trimmed(); // the indent only marks a card line
        QString content;
        int margin = -1;
        for (const OpenTag &t : m_open)
            content += t.opening;
        bool inMedia = false;
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text[i];
            if (c == u'\\' && i + 1 < text.size()) {
                if (!inMedia)
                    appendEscaped(content, text.sliced(i + 1, 1));
                ++i;
                continue;
            }
            if (c == u'[') {
                const qsizetype close = findTagEnd(text, i + 1);
                if (close > i) {
                    const QString tag = text.sliced(i + 1, close - i - 1).trimmed().toString();
                    i = close;
                    if (tag == u"s"_s || tag == u"video"_s) {
                        inMedia = true;
                    } else if (tag == u"/s"_s || tag == u"/video"_s) {
                        inMedia = false;
                    } else if (!inMedia) {
                        applyTag(tag, content, margin);
                    }
                    continue;
                }
            }
            if (inMedia)
                continue;
            if (c == u'~')
                content += m_headword;
            else if (c == u'\t')
                content += u' ';
            else
                appendEscaped(content, QStringView(&c, 1));
        }
        for (auto it = m_open.rbegin(); it != m_open.rend(); ++it)
            content += it->closing;
        if (margin > 0)
            m_html += u"<div style=\"margin-left:%1em\">"_s.arg(margin);
        else
            m_html += u"<div>"_s;
        m_html += content.trimmed();
        m_html += u"</div>"_s;
    }

    QString html() const { return m_html; }

private:
    static qsizetype findTagEnd(QStringView text, qsizetype from)
    {
        for (qsizetype k = from; k < text.size(); ++k) {
            if (text[k] == u'\\') {
                ++k;
                continue;
            }
            if (text[k] == u'[')
                return -1;
            if (text[k] == u']')
                return k;
        }
        return -1;
    }

    void open(QString &content, const QString &name, QString opening, QString closing)
    {
        content += opening;
        m_open.push_back({name, std::move(opening), std::move(closing)});
    }

    void close(QString &content, QStringView name)
    {
        for (qsizetype k = qsizetype(m_open.size()) - 1; k >= 0; --k) {
            if (m_open[size_t(k)].name == name) {
                while (qsizetype(m_open.size()) > k) {
                    content += m_open.back().closing;
                    m_open.pop_back();
                }
                return;
            }
        }
    }

    void applyTag(const QString &tag, QString &content, int &margin)
    {
        if (tag.startsWith(u'/')) {
            QString name = tag.sliced(1).trimmed();
            if (name.startsWith(u'm') && name.size() <= 2)
                return;
            close(content, name);
            return;
        }
        const qsizetype space = tag.indexOf(u' ');
        const QString name = space < 0 ? tag : tag.left(space);
        const QStringView arg = space < 0 ? QStringView() : QStringView(tag).sliced(space + 1);
        if (name == u"m"_s) {
            margin = 1;
        } else if (name.size() == 2 && name[0] == u'm' && name[1].isDigit()) {
            margin = name[1].digitValue();
        } else if (name == u"b"_s || name == u"i"_s || name == u"u"_s || name == u"sub"_s || name == u"sup"_s) {
            open(content, name, u'<' + name + u'>', u"</"_s + name + u'>');
        } else if (name == u"c"_s) {
            open(content, name, u"<span style=\"color:"_s + cssColor(arg) + u"\">", u"</span>"_s);
        } else if (name == u"ex"_s || name == u"com"_s) {
            open(content, name, u"<span style=\"color:#666666\">"_s, u"</span>"_s);
        } else if (name == u"p"_s) {
            open(content, name, u"<i style=\"color:green\">"_s, u"</i>"_s);
        } else if (name == u"ref"_s || name == u"url"_s) {
            open(content, name, u"<u>"_s, u"</u>"_s);
        } else if (name == u"'"_s) {
            open(content, name, u"<u>"_s, u"</u>"_s); // stress
        }
        // [trn], [*], [lang ...], [t], [!trs] and unknown tags: the text stays, the tag goes.
    }

    QString m_headword;
    QString m_html;
    std::vector<OpenTag> m_open;
};

} // namespace

QString dslHeadword(QStringView line)
{
    bool inComment = false;
    const QString text = stripComments(line, inComment);
    QString out;
    int unsortedDepth = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\\' && i + 1 < text.size()) {
            if (unsortedDepth == 0)
                out += text[i + 1];
            ++i;
        } else if (c == u'{') {
            ++unsortedDepth;
        } else if (c == u'}') {
            if (unsortedDepth > 0)
                --unsortedDepth;
        } else if (unsortedDepth == 0) {
            out += c;
        }
    }
    return collapseBlanks(out);
}

QString dslCardToHtml(const QStringList &lines, QStringView headword)
{
    CardRenderer renderer(headword);
    for (const QString &l : lines)
        renderer.line(l);
    return renderer.html();
}

void readDsl(const QString &path, const SourceContext &context)
{
    LineReader reader(path, LineReader::Guess::Utf8OrUtf16Le);
    struct Head
    {
        QString text;
        int64_t line;
    };
    std::vector<Head> heads;
    QStringList card;
    bool inHeader = true;
    bool inComment = false;
    int64_t commentLine = 0;

    const auto flush = [&] {
        if (heads.empty())
            return;
        if (card.isEmpty())
            raiseAtLine(path, heads.back().line, u"headword \"%1\" has no card"_s.arg(heads.back().text));
        for (const Head &h : heads) {
            if (h.text.isEmpty())
                raiseAtLine(path, h.line, u"empty headword"_s);
            context.entry({h.text, dslCardToHtml(card, h.text), path, {SourcePosition::Kind::Line, h.line}});
        }
        heads.clear();
        card.clear();
    };

    QString raw;
    while (reader.next(raw)) {
        const bool wasInComment = inComment;
        const QString line = stripComments(raw, inComment);
        if (!wasInComment && inComment)
            commentLine = reader.lineNumber();
        if (context.progress && reader.lineNumber() % 4096 == 0)
            context.progress(reader.position(), reader.size());
        if (inHeader && line.startsWith(u'#'))
            continue; // #NAME, #INDEX_LANGUAGE, #CONTENTS_LANGUAGE and the like
        if (line.trimmed().isEmpty())
            continue;
        inHeader = false;
        if (line[0] == u' ' || line[0] == u'\t') {
            if (heads.empty())
                raiseAtLine(path, reader.lineNumber(), u"card line without a headword before it"_s);
            card.append(line);
            continue;
        }
        if (!card.isEmpty())
            flush();
        heads.push_back({dslHeadword(line), reader.lineNumber()});
    }
    if (inComment)
        raiseAtLine(path, commentLine, u"comment {{ is never closed"_s);
    flush();
    if (context.progress)
        context.progress(reader.size(), reader.size());
}
