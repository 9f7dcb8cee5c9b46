#include "store/dictionary_set.h"

#include <QDir>
#include <QFileInfo>

QString dictionaryFilePath(const QString &dictName, const QString &extension)
{
    return dictName + QLatin1Char('/') + dictName + extension;
}

bool isFilePresent(const QString &path)
{
    // Not cached: the set is looked for anew at each access.
    const QFileInfo info(path);
    return info.exists() && !info.isDir();
}

bool requiredFilesPresent(const QString &dictName)
{
    return isFilePresent(dictionaryFilePath(dictName, WordIndexExtension))
        && isFilePresent(dictionaryFilePath(dictName, ArticleFileExtension));
}
