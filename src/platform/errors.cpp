#include "platform/errors.h"

#include <cstring>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#endif

Exception::Exception(QString message)
    : m_message(std::move(message))
    , m_utf8(m_message.toUtf8())
{
}

EInOutError::EInOutError(int errorCode, QString message)
    : Exception(std::move(message))
    , m_errorCode(errorCode)
{
}

QString EInOutError::messageFor(int errorCode)
{
    switch (errorCode) {
    case 2:
        return QStringLiteral("The specified file was not found");
    case 3:
        // Shown unformatted, as the runtime does.
        return QStringLiteral("Invalid file name - %s");
    case 4:
        return QStringLiteral("Too many open files");
    case 5:
        return QStringLiteral("File access denied");
    case 100:
        return QStringLiteral("Read beyond end of file");
    default:
        return QStringLiteral("I/O error %1").arg(errorCode);
    }
}

EInOutError EInOutError::fromCode(int errorCode)
{
    return EInOutError(errorCode, messageFor(errorCode));
}

QString systemErrorText(int systemErrorCode)
{
#ifdef _WIN32
    wchar_t *buffer = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                            | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, DWORD(systemErrorCode), 0,
                                        reinterpret_cast<wchar_t *>(&buffer), 0, nullptr);
    QString text = length ? QString::fromWCharArray(buffer, int(length)).trimmed() : QString();
    LocalFree(buffer);
    return text;
#else
    return QString::fromLocal8Bit(std::strerror(systemErrorCode));
#endif
}
