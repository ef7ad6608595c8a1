#include "ScriptedDialogs.h"

#include "picker/FolderBrowser.h"
#include "picker/FolderPicker.h"

#include <QDialog>

ScriptedDialogs::ScriptedDialogs()
{
    DialogService::install(this);
}

ScriptedDialogs::~ScriptedDialogs()
{
    DialogService::install(nullptr);
}

DialogService::Button ScriptedDialogs::message(const Message &request)
{
    Asked a;
    a.message = request;
    asked.append(a);
    if (!m_buttons.isEmpty())
        return m_buttons.takeFirst();
    if (request.defaultButton != NoButton)
        return request.defaultButton;
    for (Button b : {Ok, Yes, No, Cancel})
        if (request.buttons & b)
            return b;
    return Ok;
}

std::optional<QString> ScriptedDialogs::input(const Input &request)
{
    Asked a;
    a.isInput = true;
    a.input = request;
    asked.append(a);
    if (!m_inputs.isEmpty())
        return m_inputs.takeFirst();
    return std::nullopt;
}

int ScriptedDialogs::execDialog(QDialog &dialog)
{
    Asked a;
    a.isDialog = true;
    a.dialogTitle = dialog.windowTitle();
    asked.append(a);
    if (m_dialogs.isEmpty())
        return QDialog::Rejected;
    return m_dialogs.takeFirst()(dialog);
}

void ScriptedDialogs::queueFolder(std::optional<QString> folder)
{
    m_folders.append([folder](TFolderBrowser &) { return folder; });
}

void ScriptedDialogs::queueFolderBrowser(std::function<int(TFolderBrowser &)> act)
{
    m_folders.append([act](TFolderBrowser &browser) -> std::optional<QString> {
        if (act(browser) != QDialog::Accepted)
            return std::nullopt;
        return browser.SelectedFolder();
    });
}

std::optional<QString> ScriptedDialogs::chooseFolder(QDialog &chooser,
                                                     const std::function<QString()> &)
{
    // The program's only folder chooser.
    auto &browser = static_cast<TFolderBrowser &>(chooser);
    Asked a;
    a.isFolder = true;
    a.folderStart = browser.StartFolder();
    a.folderTitle = browser.Picker().TitleCaption();
    a.folderOwner = browser.parentWidget();
    asked.append(a);
    if (m_folders.isEmpty())
        return std::nullopt;
    return m_folders.takeFirst()(browser);
}

namespace {

template<typename T>
std::optional<T> next(QList<std::optional<T>> &queue)
{
    return queue.isEmpty() ? std::nullopt : queue.takeFirst();
}

void askChooser(QList<ScriptedDialogs::Asked> &asked, const char *kind,
                const DialogService::Files &files, const DialogService::Choice &choice = {})
{
    ScriptedDialogs::Asked a;
    a.isChooser = true;
    a.chooserKind = QLatin1String(kind);
    a.files = files;
    a.choice = choice;
    asked.append(a);
}

} // namespace

std::optional<QStringList> ScriptedDialogs::chooseOpenFiles(const Files &request)
{
    askChooser(asked, "open", request);
    return next(m_openFiles);
}

std::optional<QString> ScriptedDialogs::chooseSaveFile(const Files &request)
{
    askChooser(asked, "save", request);
    return next(m_saveFiles);
}

std::optional<QString> ScriptedDialogs::chooseOutputFolder(const Files &request)
{
    askChooser(asked, "folder", request);
    return next(m_outputFolders);
}

std::optional<int> ScriptedDialogs::choose(const Choice &request)
{
    askChooser(asked, "choice", {}, request);
    return next(m_choices);
}

int ScriptedDialogs::chooserCount() const
{
    int n = 0;
    for (const Asked &a : asked)
        if (a.isChooser)
            ++n;
    return n;
}

int ScriptedDialogs::messageCount() const
{
    int n = 0;
    for (const Asked &a : asked)
        if (!a.isInput && !a.isDialog && !a.isFolder && !a.isChooser)
            ++n;
    return n;
}

int ScriptedDialogs::folderCount() const
{
    int n = 0;
    for (const Asked &a : asked)
        if (a.isFolder)
            ++n;
    return n;
}

int ScriptedDialogs::dialogCount() const
{
    int n = 0;
    for (const Asked &a : asked)
        if (a.isDialog)
            ++n;
    return n;
}

QStringList ScriptedDialogs::messageTexts() const
{
    QStringList texts;
    for (const Asked &a : asked)
        if (!a.isInput && !a.isDialog && !a.isFolder && !a.isChooser)
            texts << a.message.text;
    return texts;
}

QString ScriptedDialogs::lastText() const
{
    for (auto it = asked.crbegin(); it != asked.crend(); ++it)
        if (!it->isInput && !it->isDialog && !it->isFolder && !it->isChooser)
            return it->message.text;
    return {};
}
