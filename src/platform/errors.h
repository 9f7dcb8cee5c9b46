#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

// The error classes of the program. Every failure is raised as one of these,
// carrying the message that the error report shows to the user. None of them
// may unwind through Qt's event loop: event handlers end in reportErrors().

// The general class: failures that have no class of their own.
class Exception : public std::exception
{
public:
    explicit Exception(QString message);

    const QString &message() const noexcept { return m_message; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

// An I/O error of a record-file read, with the runtime's code
// (the system's error code, or 100 for a short read).
class EInOutError : public Exception
{
public:
    EInOutError(int errorCode, QString message);

    int errorCode() const noexcept { return m_errorCode; }

    // The runtime's wording for an I/O error code, e.g. 100 -> "Read beyond end of file".
    static QString messageFor(int errorCode);
    // An EInOutError for the given code with the runtime's wording.
    static EInOutError fromCode(int errorCode);

private:
    int m_errorCode;
};

// A file that can't be opened: "Cannot open file "%s". %s".
class EFOpenError : public Exception
{
public:
    using Exception::Exception;
};

// A file that can't be created or written: "Cannot create file "%s". %s".
class EFCreateError : public Exception
{
public:
    using Exception::Exception;
};

// An index outside a list: "List index out of bounds (%d)".
class EStringListError : public Exception
{
public:
    using Exception::Exception;
};

// A text that is no valid number: "''%s'' is not a valid integer value".
class EConvertError : public Exception
{
public:
    using Exception::Exception;
};

// The article file can't be opened: "Ошибка открытия файла".
class EMMFError : public Exception
{
public:
    using Exception::Exception;
};

// A grid row outside the rows the list holds: "Grid index out of range".
class EInvalidGridOperation : public Exception
{
public:
    using Exception::Exception;
};

// The system's text for an errno (POSIX) or GetLastError (Windows) value.
QString systemErrorText(int systemErrorCode);
