#include "Desktop.h"

#include "DialogService.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QUrl>

namespace {

class QtDesktop final : public Desktop
{
public:
protected:
    bool openUrl(const QUrl &url) override { return QDesktopServices::openUrl(url); }

public:
    bool startProgram(const QString &program, const QStringList &arguments) override
    {
        return QProcess::startDetached(program, arguments);
    }

    void setClipboardText(const QString &text) override
    {
        QGuiApplication::clipboard()->setText(text);
    }

    QString clipboardText() override { return QGuiApplication::clipboard()->text(); }

    Qt::KeyboardModifiers keyboardModifiers() override
    {
        // As of the input event being handled, not of this moment: a click handled late still
        // sees the Shift that was down when it was made.
        return QGuiApplication::keyboardModifiers();
    }
};

Desktop *g_installed = nullptr;

} // namespace

Desktop::~Desktop() = default;

Desktop &Desktop::current()
{
    static QtDesktop real;
    return g_installed ? *g_installed : real;
}

void Desktop::install(Desktop *desktop)
{
    g_installed = desktop;
}

bool Desktop::openDocument(const QString &text)
{
    if (text.trimmed().isEmpty())
        return false;
    const QUrl url = AddressToOpen(text);
    if (url.isEmpty()) {
        DialogService::current().message(
            {nullptr, DialogService::Icon::Warning, QStringLiteral("Vandrel"),
             QStringLiteral("열 수 없는 주소입니다: %1\n"
                            "웹 주소(http, https, ftp), 메일 주소(mailto)와 폴더만 열 수 있습니다.")
                 .arg(text.trimmed()),
             DialogService::Ok, DialogService::Ok});
        return false;
    }
    return openUrl(url);
}

namespace {

bool isLocalPath(const QString &text)
{
    if (text.startsWith(u'/') || text.startsWith(u'\\') || text.startsWith(u'~'))
        return true;
    // A drive letter: C:\ or C:/
    return text.size() >= 3 && text.at(0).isLetter() && text.at(0).unicode() < 0x80
           && text.at(1) == u':' && (text.at(2) == u'\\' || text.at(2) == u'/');
}

// The scheme text begins with ("http" for "http://..."), or empty. A host with a port
// ("example.com:8080") or a drive letter is no scheme.
QString schemeOf(const QString &text)
{
    const qsizetype colon = text.indexOf(u':');
    if (colon < 2)
        return {};
    for (qsizetype i = 0; i < colon; ++i) {
        const char16_t c = text.at(i).unicode();
        const bool letter = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
        const bool other = (c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'.';
        if (!letter && !(i > 0 && other))
            return {};
    }
    const QStringView rest = QStringView(text).sliced(colon + 1);
    if (!rest.isEmpty() && rest.front().isDigit() && text.left(colon).contains(u'.'))
        return {};
    return text.left(colon).toLower();
}

} // namespace

QUrl Desktop::AddressToOpen(const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return {};
    if (isLocalPath(t)) {
        QString path = t;
        if (path.startsWith(u'~'))
            path = QDir::homePath() + path.mid(1);
        const QFileInfo info(QDir::fromNativeSeparators(path));
        // A folder opens in the file manager; a file could be a program or a script.
        if (!info.isDir())
            return {};
        return QUrl::fromLocalFile(info.absoluteFilePath());
    }
    QString scheme = schemeOf(t);
    if (scheme == u"file") {
        const QUrl url(t, QUrl::TolerantMode);
        return url.isLocalFile() && QFileInfo(url.toLocalFile()).isDir() ? url : QUrl();
    }
    QString address = t;
    if (scheme.isEmpty()) {
        scheme = QStringLiteral("http");
        address = QStringLiteral("http://") + t;
    }
    static const QStringList webSchemes = {QStringLiteral("http"), QStringLiteral("https"),
                                           QStringLiteral("ftp")};
    const QUrl url(address, QUrl::TolerantMode);
    if (!url.isValid())
        return {};
    if (scheme == u"mailto")
        return url.path().isEmpty() ? QUrl() : url;
    if (!webSchemes.contains(scheme) || url.host().isEmpty())
        return {};
    return url;
}
