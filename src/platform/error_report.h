#pragma once

#include <QString>

#include <exception>
#include <functional>

#include "platform/errors.h"

// The application's error report: a modal box with the error's message,
// the application's title as caption, one OK button and the error icon.
// Every event handler ends in reportErrors(), so no exception reaches Qt's
// event loop. Tests swap the boxes for recorders.

// The report's text: the message with a full stop appended when its last
// character's code is above that of "." (so "Файл" -> "Файл.", "Файл." and
// "Файл!" stay as they are).
QString errorReportText(const QString &message);

// The caption of every box the program shows.
QString applicationTitle();

// Shows the error report for a message (the full stop rule applied here).
void showErrorReport(const QString &message);

// A modal box with one OK button and no icon ("ShowMessage").
void showPlainMessage(const QString &text);

// What a box would show; a sink replaces the real box while it is installed.
// Pass an empty function to get the real boxes back.
using MessageSink = std::function<void(const QString &text)>;
void setErrorReportSink(MessageSink sink);
void setPlainMessageSink(MessageSink sink);

// Runs an event handler's body; an error it raises is shown by the error
// report instead of leaving the handler. Returns false when it raised.
template<typename Body>
bool reportErrors(Body &&body) noexcept
{
    try {
        body();
        return true;
    } catch (const Exception &error) {
        showErrorReport(error.message());
    } catch (const std::exception &error) {
        showErrorReport(QString::fromUtf8(error.what()));
    } catch (...) {
        showErrorReport(QStringLiteral("Unknown error"));
    }
    return false;
}
