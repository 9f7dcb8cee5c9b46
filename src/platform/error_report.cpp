#include "platform/error_report.h"

#include <QApplication>
#include <QMessageBox>

namespace {

MessageSink &errorSink()
{
    static MessageSink sink;
    return sink;
}

MessageSink &plainSink()
{
    static MessageSink sink;
    return sink;
}

void showBox(QMessageBox::Icon icon, const QString &text)
{
    QMessageBox box(icon, applicationTitle(), text, QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

} // namespace

QString errorReportText(const QString &message)
{
    if (!message.isEmpty() && message.back().unicode() > u'.')
        return message + u'.';
    return message;
}

QString applicationTitle()
{
    return QStringLiteral("Толковый словарь Глоссы");
}

void showErrorReport(const QString &message)
{
    const QString text = errorReportText(message);
    if (errorSink())
        errorSink()(text);
    else
        showBox(QMessageBox::Critical, text);
}

void showPlainMessage(const QString &text)
{
    if (plainSink())
        plainSink()(text);
    else
        showBox(QMessageBox::NoIcon, text);
}

void setErrorReportSink(MessageSink sink)
{
    errorSink() = std::move(sink);
}

void setPlainMessageSink(MessageSink sink)
{
    plainSink() = std::move(sink);
}
