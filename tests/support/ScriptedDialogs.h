#pragma once

#include "platform/DialogService.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class TFolderBrowser;

// Answers every dialog without a person: records what was asked and gives queued answers.
// Installed for its lifetime.
class ScriptedDialogs : public DialogService
{
public:
    struct Asked
    {
        bool isInput = false;
        Message message;
        Input input;
        bool isDialog = false; // one of the program's own dialogs
        QString dialogTitle;
        bool isFolder = false; // a folder chooser
        QString folderStart;   // the folder it was to open at
        QString folderTitle;   // its title line
        QWidget *folderOwner = nullptr;
        bool isChooser = false; // a file, output folder or list chooser
        QString chooserKind;    // "open", "save", "folder" or "choice"
        Files files;
        Choice choice;
    };

    ScriptedDialogs();
    ~ScriptedDialogs() override;

    // Answers handed out in order; when none is queued, a message box gets its default
    // button and an input query is cancelled.
    void queueButton(Button button) { m_buttons.append(button); }
    void queueInput(std::optional<QString> text) { m_inputs.append(std::move(text)); }
    // What the "person" does with the next of the program's own dialogs; returns its result.
    // Without one, the dialog is cancelled.
    void queueDialog(std::function<int(QDialog &)> act) { m_dialogs.append(std::move(act)); }
    // The folder the next folder chooser hands back; nothing means cancel. Without one, a
    // folder chooser is cancelled.
    void queueFolder(std::optional<QString> folder);
    // What the "person" does with the next folder chooser itself; returns its result.
    void queueFolderBrowser(std::function<int(TFolderBrowser &)> act);

    // What the next file, output folder or list chooser hands back; nothing means cancel. Without
    // one queued, a chooser is cancelled.
    void queueOpenFiles(std::optional<QStringList> files) { m_openFiles.append(std::move(files)); }
    void queueSaveFile(std::optional<QString> file) { m_saveFiles.append(std::move(file)); }
    void queueOutputFolder(std::optional<QString> dir) { m_outputFolders.append(std::move(dir)); }
    void queueChoice(std::optional<int> index) { m_choices.append(index); }

    Button message(const Message &request) override;
    std::optional<QString> input(const Input &request) override;
    int execDialog(QDialog &dialog) override;
    std::optional<QString> chooseFolder(QDialog &chooser,
                                        const std::function<QString()> &selected) override;
    std::optional<QStringList> chooseOpenFiles(const Files &request) override;
    std::optional<QString> chooseSaveFile(const Files &request) override;
    std::optional<QString> chooseOutputFolder(const Files &request) override;
    std::optional<int> choose(const Choice &request) override;

    QList<Asked> asked;
    int messageCount() const;
    int dialogCount() const;
    int folderCount() const;
    int chooserCount() const;
    // Texts of all message boxes, in order.
    QStringList messageTexts() const;
    // The text of the last message box, or an empty string.
    QString lastText() const;

private:
    QList<Button> m_buttons;
    QList<std::optional<QString>> m_inputs;
    QList<std::function<int(QDialog &)>> m_dialogs;
    QList<std::function<std::optional<QString>(TFolderBrowser &)>> m_folders;
    QList<std::optional<QStringList>> m_openFiles;
    QList<std::optional<QString>> m_saveFiles;
    QList<std::optional<QString>> m_outputFolders;
    QList<std::optional<int>> m_choices;
};
