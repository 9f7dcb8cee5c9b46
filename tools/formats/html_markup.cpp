#include "html_markup.h"

#include <QHash>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace {

bool isNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'-' || c == u'_' || c == u':';
}

bool isSpace(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

// Elements removed with everything inside them.
bool dropsContent(QStringView name)
{
    return name.compare(u"script"_s, Qt::CaseInsensitive) == 0 || name.compare(u"style"_s, Qt::CaseInsensitive) == 0
        || name.compare(u"noscript"_s, Qt::CaseInsensitive) == 0 || name.compare(u"title"_s, Qt::CaseInsensitive) == 0;
}

// Elements removed, their content kept (or having none).
bool dropsTag(QStringView name)
{
    static const QStringList names{u"iframe"_s, u"frame"_s, u"frameset"_s, u"object"_s, u"embed"_s, u"applet"_s,
                                   u"meta"_s, u"link"_s, u"base"_s, u"form"_s, u"input"_s, u"button"_s,
                                   u"textarea"_s, u"select"_s, u"html"_s, u"head"_s, u"body"_s, u"svg"_s,
                                   u"math"_s, u"audio"_s, u"video"_s, u"source"_s};
    for (const QString &n : names) {
        if (name.compare(n, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

struct Tag
{
    qsizetype end = -1; // index after '>', -1 when the '<' starts no tag
    bool closing = false;
    bool comment = false;
    QStringView name;
    QString cleaned; // the tag as written back
};

// Parses the tag that starts at html[pos] == '<'.
Tag parseTag(QStringView html, qsizetype pos)
{
    Tag tag;
    const qsizetype n = html.size();
    qsizetype i = pos + 1;
    if (html.sliced(i).startsWith(u"!--")) {
        const qsizetype close = html.indexOf(u"-->", i + 3);
        tag.comment = true;
        tag.end = close < 0 ? n : close + 3;
        return tag;
    }
    if (i < n && (html[i] == u'!' || html[i] == u'?')) {
        const qsizetype close = html.indexOf(u'>', i);
        tag.comment = true;
        tag.end = close < 0 ? n : close + 1;
        return tag;
    }
    if (i < n && html[i] == u'/') {
        tag.closing = true;
        ++i;
    }
    const qsizetype nameStart = i;
    if (i >= n || !html[i].isLetter())
        return tag;
    while (i < n && isNameChar(html[i]))
        ++i;
    tag.name = html.sliced(nameStart, i - nameStart);
    tag.cleaned = (tag.closing ? u"</"_s : u"<"_s) + tag.name.toString().toLower();

    // Attributes: name, optionally = and a quoted or bare value.
    while (i < n) {
        while (i < n && isSpace(html[i]))
            ++i;
        if (i >= n)
            break;
        if (html[i] == u'>') {
            tag.end = i + 1;
            break;
        }
        if (html[i] == u'/') {
            ++i;
            continue;
        }
        const qsizetype attrStart = i;
        while (i < n && !isSpace(html[i]) && html[i] != u'=' && html[i] != u'>' && html[i] != u'/')
            ++i;
        if (i == attrStart) {
            ++i; // a stray character such as a quote
            continue;
        }
        const QString attr = html.sliced(attrStart, i - attrStart).toString().toLower();
        while (i < n && isSpace(html[i]))
            ++i;
        QString value;
        bool hasValue = false;
        if (i < n && html[i] == u'=') {
            hasValue = true;
            ++i;
            while (i < n && isSpace(html[i]))
                ++i;
            if (i < n && (html[i] == u'"' || html[i] == u'\'')) {
                const QChar quote = html[i];
                const qsizetype close = html.indexOf(quote, i + 1);
                if (close < 0)
                    return Tag{}; // an unterminated value: not a tag
                value = html.sliced(i + 1, close - i - 1).toString();
                i = close + 1;
            } else {
                const qsizetype valueStart = i;
                while (i < n && !isSpace(html[i]) && html[i] != u'>')
                    ++i;
                value = html.sliced(valueStart, i - valueStart).toString();
            }
        }
        if (tag.closing || attr.startsWith(u"on"))
            continue;
        const QString trimmedValue = value.trimmed().remove(u' ').remove(u'\t').remove(u'\n').remove(u'\r');
        if (trimmedValue.startsWith(u"javascript:"_s, Qt::CaseInsensitive)
            || trimmedValue.startsWith(u"vbscript:"_s, Qt::CaseInsensitive)
            || (attr == u"style"_s && value.contains(u"expression"_s, Qt::CaseInsensitive)))
            continue;
        if (!attr.front().isLetter())
            continue;
        tag.cleaned += u' ' + attr;
        if (hasValue) {
            tag.cleaned += u"=\"";
            appendEscaped(tag.cleaned, value);
            tag.cleaned += u'"';
        }
    }
    if (tag.end < 0)
        return Tag{};
    tag.cleaned += u'>';
    return tag;
}

QString decodeEntity(QStringView name)
{
    static const QHash<QString, QString> named{
        {u"amp"_s, u"&"_s}, {u"lt"_s, u"<"_s}, {u"gt"_s, u">"_s}, {u"quot"_s, u"\""_s}, {u"apos"_s, u"'"_s},
        {u"nbsp"_s, u"\u00A0"_s}, {u"mdash"_s, u"\u2014"_s}, {u"ndash"_s, u"\u2013"_s}, {u"laquo"_s, u"\u00AB"_s},
        {u"raquo"_s, u"\u00BB"_s}, {u"hellip"_s, u"\u2026"_s}, {u"copy"_s, u"\u00A9"_s}, {u"shy"_s, QString()},
        {u"acute"_s, u"\u00B4"_s}, {u"middot"_s, u"\u00B7"_s}, {u"bull"_s, u"\u2022"_s}};
    if (name.startsWith(u'#')) {
        bool ok = false;
        uint code = 0;
        if (name.size() > 1 && (name[1] == u'x' || name[1] == u'X'))
            code = name.sliced(2).toUInt(&ok, 16);
        else
            code = name.sliced(1).toUInt(&ok, 10);
        if (!ok || code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return u"\uFFFD"_s;
        const char32_t c = code;
        return QString::fromUcs4(&c, 1);
    }
    return named.value(name.toString(), QString(u'\x1'));
}

bool breaksLine(QStringView name)
{
    static const QStringList names{u"br"_s, u"p"_s, u"div"_s, u"li"_s, u"tr"_s, u"hr"_s, u"h1"_s, u"h2"_s,
                                   u"h3"_s, u"h4"_s, u"blockquote"_s, u"dd"_s, u"dt"_s};
    for (const QString &n : names) {
        if (name.compare(n, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

} // namespace

void appendEscaped(QString &out, QStringView text)
{
    for (QChar c : text) {
        switch (c.unicode()) {
        case u'&':
            out += u"&amp;";
            break;
        case u'<':
            out += u"&lt;";
            break;
        case u'>':
            out += u"&gt;";
            break;
        case u'"':
            out += u"&quot;";
            break;
        case 0:
            break;
        default:
            out += c;
        }
    }
}

QString escapeHtml(QStringView text)
{
    QString out;
    out.reserve(text.size() + text.size() / 8);
    appendEscaped(out, text);
    return out;
}

QString plainTextToHtml(QStringView text)
{
    QString out;
    out.reserve(text.size() + text.size() / 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\r' || c == u'\n') {
            out += u"<br>";
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
        } else {
            appendEscaped(out, QStringView(&c, 1));
        }
    }
    return out;
}

QString sanitizeHtml(QStringView html)
{
    QString out;
    out.reserve(html.size());
    const qsizetype n = html.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = html[i];
        if (c == u'\0') {
            ++i;
            continue;
        }
        if (c == u'>') {
            out += u"&gt;";
            ++i;
            continue;
        }
        if (c != u'<') {
            out += c;
            ++i;
            continue;
        }
        const Tag tag = parseTag(html, i);
        if (tag.end < 0) {
            out += u"&lt;";
            ++i;
            continue;
        }
        if (tag.comment) {
            i = tag.end;
            continue;
        }
        if (!tag.closing && dropsContent(tag.name)) {
            // Skip up to the matching end tag, or to the end when there is none.
            const QString endTag = u"</"_s + tag.name.toString();
            qsizetype close = tag.end;
            for (;;) {
                close = html.indexOf(endTag, close, Qt::CaseInsensitive);
                if (close < 0 || close + endTag.size() >= n || !isNameChar(html[close + endTag.size()]))
                    break;
                close += endTag.size();
            }
            if (close < 0) {
                i = n;
            } else {
                const qsizetype gt = html.indexOf(u'>', close);
                i = gt < 0 ? n : gt + 1;
            }
            continue;
        }
        if (!dropsContent(tag.name) && !dropsTag(tag.name))
            out += tag.cleaned;
        i = tag.end;
    }
    return out;
}

QString htmlToPlainText(QStringView html)
{
    QString out;
    out.reserve(html.size());
    const qsizetype n = html.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = html[i];
        if (c == u'<') {
            const Tag tag = parseTag(html, i);
            if (tag.end < 0) {
                out += c;
                ++i;
                continue;
            }
            if (!tag.comment && !tag.closing && dropsContent(tag.name)) {
                const QString endTag = u"</"_s + tag.name.toString();
                const qsizetype close = html.indexOf(endTag, tag.end, Qt::CaseInsensitive);
                const qsizetype gt = close < 0 ? -1 : html.indexOf(u'>', close);
                i = gt < 0 ? n : gt + 1;
                continue;
            }
            if (!tag.comment && breaksLine(tag.name)) {
                const bool isBr = tag.name.compare(u"br"_s, Qt::CaseInsensitive) == 0;
                // Block edges give one break; <br> always gives its own.
                if (isBr || (!out.isEmpty() && !out.endsWith(u'\n')))
                    out += u'\n';
            }
            i = tag.end;
            continue;
        }
        if (c == u'&') {
            const qsizetype semi = html.indexOf(u';', i + 1);
            if (semi > i + 1 && semi - i <= 12) {
                const QString decoded = decodeEntity(html.sliced(i + 1, semi - i - 1));
                if (decoded != QString(u'\x1')) {
                    out += decoded;
                    i = semi + 1;
                    continue;
                }
            }
        }
        out += c;
        ++i;
    }
    while (out.endsWith(u'\n'))
        out.chop(1);
    return out;
}
