#pragma once

#include <QString>
#include <QStringView>

#include <memory>
#include <vector>

// Writes a dictionary set: the word index, the article file and, optionally,
// the letter index. Files are written aside and renamed into place by
// finish(), so a failed write never leaves half a set in place of a sound one.

enum class WordIndexEncoding {
    Windows1251, // no mark; U+2030 is the byte 0x89
    Utf16,       // UTF-16LE with its mark
    Utf8,        // UTF-8 with its mark
};

struct SetWriterOptions
{
    WordIndexEncoding encoding = WordIndexEncoding::Windows1251;
    bool letterIndex = false;
};

struct SetEntry
{
    QString headword;
    QString article;
};

// Streams entries to disk in the order they are added.
class SetWriter
{
public:
    // Writes <folder>/<baseName>.ogl, .uvs and (with letterIndex) .dvc;
    // the folder is created when missing.
    SetWriter(QString folder, QString baseName, SetWriterOptions options);
    ~SetWriter();
    SetWriter(const SetWriter &) = delete;
    SetWriter &operator=(const SetWriter &) = delete;

    // Raises Exception for a headword with a line break or U+2030, an
    // article with U+0000, a headword that the chosen encoding can't hold,
    // an article file past 2 GiB, and (with letterIndex) a key letter whose
    // entries would not form one run.
    void add(QStringView headword, QStringView article);
    // Writes the letter index and puts the files in place. Raises Exception.
    void finish();

    int32_t count() const;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// Orders entries so that the entries of each key letter form one run, in
// letter-index order (other initials, A..Z, А..Я); stable within a letter.
void orderByKeyLetter(std::vector<SetEntry> &entries);

// Orders (when a letter index is wanted) and writes a whole set.
void writeDictionarySet(const QString &folder, const QString &baseName, std::vector<SetEntry> entries,
                        SetWriterOptions options);
