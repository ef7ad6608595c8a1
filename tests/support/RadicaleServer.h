#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QTemporaryDir>
#include <QUrl>

#include <memory>

class QProcess;

// In a test function (QSKIP must run there): the test's StartServer(), or the test skipped with
// the reason it left in m_skip (radicale missing, say).
#define START_RADICALE()                                                                           \
    do {                                                                                           \
        if (!StartServer())                                                                        \
            QSKIP(qPrintable(m_skip));                                                             \
    } while (false)

// Debian's radicale (build.sh test installs it) on 127.0.0.1, on a free port, with its own
// storage, settings and htpasswd users in a temporary folder; stopped when it goes out of
// scope, a failed test included. Plain http: the client accepts http for this computer only.
class RadicaleServer
{
public:
    RadicaleServer();
    ~RadicaleServer();
    RadicaleServer(const RadicaleServer &) = delete;
    RadicaleServer &operator=(const RadicaleServer &) = delete;

    // Before Start: another user, a request size limit, or TLS with a certificate and key.
    void AddUser(const QString &user, const QString &password);
    void SetMaxContentLength(qint64 bytes) { m_maxContentLength = bytes; }
    void SetTls(const QString &certificateFile, const QString &keyFile);

    // Starts the server and waits until it answers. False with why when it cannot start
    // (radicale missing, or it exits or stays silent). A restart keeps port and storage.
    bool Start(QString *why);
    void Stop();
    bool IsRunning() const;

    // http://127.0.0.1:port/ (https with TLS).
    QUrl BaseUrl() const;
    int Port() const { return m_port; }
    // The user every test signs in as, and the password.
    static QString User() { return QStringLiteral("kim"); }
    static QString Password() { return QStringLiteral("비밀번호 1234"); }

    // Makes the address book name for user (MKCOL with the addressbook resource type) and
    // returns its URL; empty with why on failure.
    QUrl CreateAddressBook(const QString &name, const QString &displayName, QString *why,
                           const QString &user = User());

    // What radicale printed, for a failure message: the end of it.
    QString Log() const;
    // Everything it printed since this start: the requests it took, one line each.
    QString WholeLog() const;

    // The radicale program, or empty when it is not installed.
    static QString Program();

private:
    bool WriteConfig(QString *why);
    bool WaitUntilAnswering(QString *why);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QProcess> m_process;
    QList<QPair<QString, QString>> m_users;
    qint64 m_maxContentLength = 0;
    QString m_certificate, m_key;
    int m_port = 0;
    qint64 m_logStart = 0; // where this start's lines begin in the log
    mutable QByteArray m_log;
};
