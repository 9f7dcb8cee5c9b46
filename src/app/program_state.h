#pragma once

#include <QString>

#include <cstdint>
#include <memory>

#include "store/article_file.h"
#include "store/letter_index.h"
#include "store/word_index.h"

// Program-wide state of the main window's module: one of each for the whole
// run, outside the window object, with these values when the program starts.
struct ProgramState
{
    QString DictName;
    bool WindowedMode = false;
    LetterIndex Letters{};
    ArticleFile Articles;
    QString PageHeader;
    QString PageFooter;
    std::unique_ptr<WordIndex> Words;
    QString CurrentHeadword;
    int32_t WindowTarget = 0;
    int32_t WindowBefore = 0;
    bool ClearQueryOnSelect = true;
    bool StartupDone = false;
    bool DoubleClickHookInstalled = false;
};

ProgramState &programState();

// Back to the values at program start (the module's finalisation; tests
// call it between windows).
void resetProgramState();
