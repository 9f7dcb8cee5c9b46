#include "mythes_reader.h"

#include "html_markup.h"
#include "line_reader.h"
#include "source_error.h"

using namespace Qt::StringLiterals;

void readMyThes(const QString &path, const SourceContext &context)
{
    QString datPath = path;
    if (datPath.endsWith(u".idx"_s, Qt::CaseInsensitive))
        datPath = datPath.left(datPath.size() - 4) + u".dat";
    LineReader reader(datPath);
    QString line;
    if (!reader.next(line) || line.trimmed().isEmpty())
        raiseAtLine(datPath, 1, u"the first line must name the encoding (UTF-8, KOI8-R, ...)"_s);
    // Before the name is known, the line is read as UTF-8; encoding names are ASCII.
    reader.setEncoding(line.trimmed());

    while (reader.next(line)) {
        if (context.progress && reader.lineNumber() % 4096 == 0)
            context.progress(reader.position(), reader.size());
        if (line.trimmed().isEmpty())
            continue;
        const int64_t headLine = reader.lineNumber();
        const qsizetype bar = line.lastIndexOf(u'|');
        bool ok = false;
        const int count = bar < 0 ? -1 : line.sliced(bar + 1).trimmed().toInt(&ok);
        if (!ok || count < 0 || count > 100000)
            raiseAtLine(datPath, headLine, u"expected \"word|number of meanings\""_s);
        const QString headword = line.left(bar);
        QString body;
        for (int k = 0; k < count; ++k) {
            if (!reader.next(line))
                raiseAtLine(datPath, reader.lineNumber() + 1,
                            u"file ends after %1 of the %2 meanings of \"%3\" (line %4)"_s.arg(k).arg(count).arg(
                                headword).arg(headLine));
            const QStringList fields = line.split(u'|');
            if (fields.size() < 2)
                raiseAtLine(datPath, reader.lineNumber(),
                            u"expected \"(part of speech)|synonym|...\" for \"%1\""_s.arg(headword));
            body += u"<div>"_s;
            const QString pos = fields[0].trimmed();
            if (!pos.isEmpty() && pos != u"-"_s)
                body += u"<i>" + escapeHtml(pos) + u"</i> ";
            QStringList synonyms;
            for (qsizetype f = 1; f < fields.size(); ++f) {
                const QString s = fields[f].trimmed();
                if (!s.isEmpty())
                    synonyms.append(escapeHtml(s));
            }
            body += synonyms.join(u", "_s) + u"</div>"_s;
        }
        context.entry({headword, body, datPath, {SourcePosition::Kind::Line, headLine}});
    }
    if (context.progress)
        context.progress(reader.size(), reader.size());
}
