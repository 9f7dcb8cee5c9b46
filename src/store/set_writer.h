#pragma once

#include <QString>
#include <QStringView>

#include <cstdint>
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

// Why a headword can't be stored in a word index of that encoding, or an
// empty text when it can. Refused: the empty headword (its line would have no
// end offset), CR, LF, U+0000 and U+2030 (they cut the line), an unpaired
// surrogate, and for Windows-1251 any character the code page lacks.
QString headwordFault(QStringView headword, WordIndexEncoding encoding);
// Why an article can't be stored, or an empty text: U+0000 would end it early.
QString articleFault(QStringView article);
// Why a whole list of entries can't be written with that word index encoding,
// or an empty text. Beyond headwordFault: a Windows-1251 file whose first
// bytes would read as a byte-order mark ("яю", "юя", "п»ї" at its start).
QString encodingFault(const std::vector<SetEntry> &entries, WordIndexEncoding encoding);

// Orders entries so that the entries of each key letter form one run, in
// letter-index order (other initials, A..Z, А..Я); stable within a letter.
void orderByKeyLetter(std::vector<SetEntry> &entries);

// Orders (when a letter index is wanted) and writes a whole set.
void writeDictionarySet(const QString &folder, const QString &baseName, std::vector<SetEntry> entries,
                        SetWriterOptions options);
