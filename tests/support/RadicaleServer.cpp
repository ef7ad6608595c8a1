#include "RadicaleServer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

int FreePort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

bool WriteFile(const QString &path, const QByteArray &bytes, QString *why)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        *why = u"cannot write "_s + path;
        return false;
    }
    return true;
}

} // namespace

RadicaleServer::RadicaleServer()
{
    m_users.append({User(), Password()});
}

RadicaleServer::~RadicaleServer()
{
    Stop();
}

QString RadicaleServer::Program()
{
    return QStandardPaths::findExecutable(u"radicale"_s);
}

void RadicaleServer::AddUser(const QString &user, const QString &password)
{
    m_users.append({user, password});
}

void RadicaleServer::SetTls(const QString &certificateFile, const QString &keyFile)
{
    m_certificate = certificateFile;
    m_key = keyFile;
}

QUrl RadicaleServer::BaseUrl() const
{
    QUrl url;
    url.setScheme(m_certificate.isEmpty() ? u"http"_s : u"https"_s);
    url.setHost(u"127.0.0.1"_s);
    url.setPort(m_port);
    url.setPath(u"/"_s);
    return url;
}

bool RadicaleServer::WriteConfig(QString *why)
{
    QByteArray users;
    for (const auto &[user, password] : std::as_const(m_users))
        users += (user + u':' + password + u'\n').toUtf8();
    if (!WriteFile(m_dir->filePath(u"users"_s), users, why))
        return false;

    QString config = u"[server]\nhosts = 127.0.0.1:%1\n"_s.arg(m_port);
    if (m_maxContentLength > 0)
        config += u"max_content_length = %1\n"_s.arg(m_maxContentLength);
    if (!m_certificate.isEmpty())
        config += u"ssl = True\ncertificate = %1\nkey = %2\n"_s.arg(m_certificate, m_key);
    config += u"[auth]\ntype = htpasswd\nhtpasswd_filename = %1\nhtpasswd_encryption = plain\n"
              u"delay = 0\n"
              u"[rights]\ntype = owner_only\n"
              u"[storage]\nfilesystem_folder = %2\n"
              u"[web]\ntype = none\n"
              u"[logging]\nlevel = info\n"_s.arg(m_dir->filePath(u"users"_s),
                                                 m_dir->filePath(u"collections"_s));
    return WriteFile(m_dir->filePath(u"config"_s), config.toUtf8(), why);
}

bool RadicaleServer::Start(QString *why)
{
    QString ignored;
    if (!why)
        why = &ignored;
    const QString program = Program();
    if (program.isEmpty()) {
        *why = u"radicale is not installed (bash build.sh test installs it)"_s;
        return false;
    }
    if (IsRunning())
        return true;
    if (!m_dir) {
        m_dir = std::make_unique<QTemporaryDir>();
        QDir(m_dir->path()).mkpath(u"home"_s);
    }
    const bool restart = m_port != 0;
    // A port found free may be taken before radicale binds it: then another one.
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (!restart)
            m_port = FreePort();
        if (!WriteConfig(why))
            return false;
        m_process = std::make_unique<QProcess>();
        m_process->setProgram(program);
        m_process->setArguments({u"-C"_s, m_dir->filePath(u"config"_s)});
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        // Never the real user's radicale settings or storage.
        env.insert(u"HOME"_s, m_dir->filePath(u"home"_s));
        env.remove(u"XDG_CONFIG_HOME"_s);
        env.remove(u"RADICALE_CONFIG"_s);
        m_process->setProcessEnvironment(env);
        m_process->setProcessChannelMode(QProcess::MergedChannels);
        m_logStart = QFileInfo(m_dir->filePath(u"log"_s)).size();
        m_process->setStandardOutputFile(m_dir->filePath(u"log"_s), QIODevice::Append);
        m_process->start();
        if (!m_process->waitForStarted(10000)) {
            *why = u"radicale did not start: "_s + m_process->errorString();
            return false;
        }
        if (WaitUntilAnswering(why))
            return true;
        Stop();
        if (restart) {
            // The old port may linger for a moment after a stop.
            QThread::msleep(500);
        }
    }
    return false;
}

bool RadicaleServer::WaitUntilAnswering(QString *why)
{
    const QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired()) {
        if (m_process->state() == QProcess::NotRunning) {
            *why = u"radicale exited: "_s + Log();
            return false;
        }
        // Another test's radicale may hold the port this one failed to bind: only ours says
        // it is ready in our log.
        QFile log(m_dir->filePath(u"log"_s));
        if (!log.open(QIODevice::ReadOnly) || !log.seek(m_logStart)
            || !log.readAll().contains("Radicale server ready")) {
            QThread::msleep(100);
            continue;
        }
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, m_port);
        if (socket.waitForConnected(500)) {
            if (!m_certificate.isEmpty())
                return true; // a TLS server answers nothing to plain text
            socket.write("OPTIONS / HTTP/1.0\r\n\r\n");
            if (socket.waitForReadyRead(2000) && socket.readAll().startsWith("HTTP/"))
                return true;
        }
        QThread::msleep(100);
    }
    *why = u"radicale did not answer on port %1: "_s.arg(m_port) + Log();
    return false;
}

void RadicaleServer::Stop()
{
    if (!m_process)
        return;
    if (m_process->state() != QProcess::NotRunning) {
        m_process->terminate();
        if (!m_process->waitForFinished(5000)) {
            m_process->kill();
            m_process->waitForFinished(2000);
        }
    }
    m_process.reset();
}

bool RadicaleServer::IsRunning() const
{
    return m_process && m_process->state() != QProcess::NotRunning;
}

QString RadicaleServer::Log() const
{
    if (!m_dir)
        return QString();
    QFile file(m_dir->filePath(u"log"_s));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll().right(4000));
}

QString RadicaleServer::WholeLog() const
{
    QFile file(m_dir ? m_dir->filePath(u"log"_s) : QString());
    if (!file.open(QIODevice::ReadOnly) || !file.seek(m_logStart))
        return QString();
    return QString::fromUtf8(file.readAll());
}

QUrl RadicaleServer::CreateAddressBook(const QString &name, const QString &displayName,
                                       QString *why, const QString &user)
{
    QString ignored;
    if (!why)
        why = &ignored;
    QString password;
    for (const auto &[u, p] : std::as_const(m_users))
        if (u == user)
            password = p;
    QNetworkAccessManager network;
    const auto send = [&](const QByteArray &verb, const QUrl &url, const QByteArray &body) {
        QNetworkRequest request(url);
        request.setRawHeader("Authorization",
                             "Basic " + (user + u':' + password).toUtf8().toBase64());
        request.setRawHeader("Depth", "0");
        request.setHeader(QNetworkRequest::ContentTypeHeader, "application/xml; charset=utf-8");
        request.setTransferTimeout(10000);
        QNetworkReply *reply = network.sendCustomRequest(request, verb, body);
        // The server's own certificate, which no system trusts.
        QObject::connect(reply, &QNetworkReply::sslErrors, reply,
                         [reply] { reply->ignoreSslErrors(); });
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (status == 0)
            *why = reply->errorString();
        reply->deleteLater();
        return status;
    };
    const QUrl home = BaseUrl().resolved(QUrl(u"/"_s + user + u"/"_s));
    // The principal's own collection comes with the first request it makes.
    send("PROPFIND", home, QByteArray());
    const QUrl book = home.resolved(QUrl(name + u"/"_s));
    QString body = u"<?xml version=\"1.0\" encoding=\"utf-8\"?>"
                   u"<d:mkcol xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:carddav\">"
                   u"<d:set><d:prop><d:resourcetype><d:collection/><c:addressbook/>"
                   u"</d:resourcetype><d:displayname>%1</d:displayname></d:prop></d:set>"
                   u"</d:mkcol>"_s.arg(displayName.toHtmlEscaped());
    const int status = send("MKCOL", book, body.toUtf8());
    if (status != 201) {
        if (why->isEmpty())
            *why = u"MKCOL %1 answered %2: %3"_s.arg(book.toString()).arg(status).arg(Log());
        return QUrl();
    }
    return book;
}
