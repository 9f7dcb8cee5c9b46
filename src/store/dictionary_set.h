#pragma once

#include <QString>

// The dictionary set: files named after the base name inside a folder of that
// name, resolved against the working directory at each access.
//   dictionaryFilePath("glossa", ".ogl") -> "glossa/glossa.ogl"
inline const QString DefaultDictName = QStringLiteral("glossa");
inline const QString WordIndexExtension = QStringLiteral(".ogl");
inline const QString ArticleFileExtension = QStringLiteral(".uvs");
inline const QString LetterIndexExtension = QStringLiteral(".dvc");

QString dictionaryFilePath(const QString &dictName, const QString &extension);

// Present: the file system has an entry there that is not a directory.
bool isFilePresent(const QString &path);

// Both required files (word index, then article file) are present.
bool requiredFilesPresent(const QString &dictName);

// The message shown when the set is missing.
inline const QString MissingSetMessage = QStringLiteral("Базы словаря не найдены");
