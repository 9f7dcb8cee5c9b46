#include "source_format.h"

#include "dictd_reader.h"
#include "dsl_reader.h"
#include "mythes_reader.h"
#include "stardict_reader.h"
#include "tsv_reader.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

std::optional<SourceFormat> sourceFormatFromName(const QString &name)
{
    const QString n = name.toLower();
    if (n == u"dsl"_s)
        return SourceFormat::Dsl;
    if (n == u"stardict"_s)
        return SourceFormat::StarDict;
    if (n == u"dict"_s || n == u"dictd"_s)
        return SourceFormat::Dictd;
    if (n == u"mythes"_s)
        return SourceFormat::MyThes;
    if (n == u"tsv"_s)
        return SourceFormat::Tsv;
    return std::nullopt;
}

std::optional<SourceFormat> guessSourceFormat(const QString &path)
{
    const QString p = path.toLower();
    const auto beside = [&](const QString &suffix, const QString &other) {
        return QFileInfo::exists(path.left(path.size() - suffix.size()) + other);
    };
    if (p.endsWith(u".dsl"_s))
        return SourceFormat::Dsl;
    if (p.endsWith(u".ifo"_s))
        return SourceFormat::StarDict;
    if (p.endsWith(u".index"_s))
        return SourceFormat::Dictd;
    if (p.endsWith(u".tsv"_s) || p.endsWith(u".txt"_s))
        return SourceFormat::Tsv;
    if (p.endsWith(u".dat"_s))
        return SourceFormat::MyThes;
    if (p.endsWith(u".idx"_s)) {
        if (beside(u".idx"_s, u".ifo"_s))
            return SourceFormat::StarDict;
        if (beside(u".idx"_s, u".dat"_s))
            return SourceFormat::MyThes;
        return std::nullopt;
    }
    for (const QString &suffix : {u".dict.dz"_s, u".dict"_s}) {
        if (p.endsWith(suffix)) {
            if (beside(suffix, u".ifo"_s))
                return SourceFormat::StarDict;
            if (beside(suffix, u".index"_s))
                return SourceFormat::Dictd;
            return std::nullopt;
        }
    }
    return std::nullopt;
}

void readSource(SourceFormat format, const QString &path, const SourceContext &context)
{
    switch (format) {
    case SourceFormat::Dsl:
        readDsl(path, context);
        return;
    case SourceFormat::StarDict:
        readStarDict(path, context);
        return;
    case SourceFormat::Dictd:
        readDictd(path, context);
        return;
    case SourceFormat::MyThes:
        readMyThes(path, context);
        return;
    case SourceFormat::Tsv:
        readTsv(path, context);
        return;
    }
}
