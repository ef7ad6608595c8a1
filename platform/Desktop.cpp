#include "Desktop.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QUrl>

namespace {

class QtDesktop final : public Desktop
{
public:
    bool openDocument(const QString &text) override
    {
        if (text.isEmpty() || namesLocalProgram(text))
            return false;
        return QDesktopServices::openUrl(QUrl::fromUserInput(text));
    }

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
        return QGuiApplication::queryKeyboardModifiers();
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

bool Desktop::namesLocalProgram(const QString &text)
{
    const QUrl url = QUrl::fromUserInput(text.trimmed());
    if (!url.isLocalFile())
        return false;
    const QFileInfo info(url.toLocalFile());
    if (!info.exists() || info.isDir())
        return false;
    const QString suffix = info.suffix().toLower();
    static const QStringList launchers = {
        QStringLiteral("desktop"), QStringLiteral("exe"), QStringLiteral("com"),
        QStringLiteral("bat"),     QStringLiteral("cmd"), QStringLiteral("lnk"),
        QStringLiteral("scr"),     QStringLiteral("pif"), QStringLiteral("msi"),
        QStringLiteral("sh"),      QStringLiteral("jar"), QStringLiteral("appimage")};
    return info.isExecutable() || launchers.contains(suffix);
}
