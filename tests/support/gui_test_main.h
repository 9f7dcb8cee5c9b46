#pragma once

#include <QApplication>
#include <QStandardPaths>
#include <QTest>

#include "view/embedded_wb.h"

// A test main for suites with the web view: its URL scheme must be
// registered before the application object exists.
#define GLOSSA_GUI_TEST_MAIN(TestClass)                                                                      \
    int main(int argc, char *argv[])                                                                     \
    {                                                                                                    \
        TEmbeddedWB::registerUrlScheme();                                                                \
        QStandardPaths::setTestModeEnabled(true);                                                        \
        QApplication app(argc, argv);                                                                    \
        TestClass test;                                                                                  \
        return QTest::qExec(&test, argc, argv);                                                          \
    }
