#include "tsv_reader.h"

#include "html_markup.h"
#include "line_reader.h"
#include "source_error.h"

using namespace Qt::StringLiterals;

void readTsv(const QString &path, const SourceContext &context)
{
    LineReader reader(path);
    QString line;
    while (reader.next(line)) {
        if (context.progress && reader.lineNumber() % 4096 == 0)
            context.progress(reader.position(), reader.size());
        if (line.isEmpty())
            continue;
        const qsizetype tab = line.indexOf(u'\t');
        if (tab < 0)
            raiseAtLine(path, reader.lineNumber(), u"no tab between headword and article"_s);
        context.entry({line.left(tab), u"<div>"_s + sanitizeHtml(QStringView(line).sliced(tab + 1)) + u"</div>"_s,
                       path, {SourcePosition::Kind::Line, reader.lineNumber()}});
    }
    if (context.progress)
        context.progress(reader.size(), reader.size());
}
