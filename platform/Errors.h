#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

// An error that stops the operation in progress; the application's top-level handler
// shows its message and the program goes on.
class VandrelError : public std::exception
{
public:
    explicit VandrelError(QString message);
    const QString &message() const { return m_message; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

// A settings or record file could not be written.
class WriteError : public VandrelError
{
public:
    explicit WriteError(const QString &path);
    const QString &path() const { return m_path; }

private:
    QString m_path;
};
