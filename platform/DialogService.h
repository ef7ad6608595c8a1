#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QDialog;
class QWidget;

// Every message box, question and input query of the program goes through here, so that
// tests can answer them without a person.
class DialogService
{
public:
    enum class Icon { None, Information, Warning, Error, Question };
    enum Button { NoButton = 0, Ok = 1, Cancel = 2, Yes = 4, No = 8 };

    struct Message
    {
        QWidget *parent = nullptr;
        Icon icon = Icon::None;
        QString caption;
        QString text;
        int buttons = Ok;                // a combination of Button values
        Button defaultButton = NoButton; // NoButton: the first one
    };

    struct Input
    {
        QWidget *parent = nullptr;
        QString caption;
        QString prompt;
        QString value;
        bool secret = false; // a password: shown as dots
    };

    // A file or folder chooser of the desktop.
    struct Files
    {
        QWidget *parent = nullptr;
        QString caption;
        QString path;   // where it opens: a folder, or for a file to write the name suggested
        QString filter; // "vCard 파일 (*.vcf);;모든 파일 (*)"; empty for every file
    };

    // One of a few items in a list.
    struct Choice
    {
        QWidget *parent = nullptr;
        QString caption;
        QString prompt;
        QStringList items;
        int current = 0;
    };

    // What execDialog gives, as QDialog does.
    enum DialogResult { Rejected = 0, Accepted = 1 };

    virtual ~DialogService();

    // The button that closed the box; Cancel (or the only button) when it was closed otherwise.
    virtual Button message(const Message &request) = 0;
    // The text entered, or nothing when the query was cancelled.
    virtual std::optional<QString> input(const Input &request) = 0;
    // Shows one of the program's own dialogs modally; its result (Accepted or Rejected).
    virtual int execDialog(QDialog &dialog) = 0;
    // Shows a folder chooser once; the chosen folder (what selected gives after OK), or nothing
    // when it was closed otherwise. By default the chooser is shown like the program's own
    // dialogs.
    virtual std::optional<QString> chooseFolder(QDialog &chooser,
                                                const std::function<QString()> &selected);

    // Files to read, chosen together; nothing when the chooser was cancelled.
    virtual std::optional<QStringList> chooseOpenFiles(const Files &request);
    // A file to write (an existing one only after the chooser asked); nothing when cancelled.
    virtual std::optional<QString> chooseSaveFile(const Files &request);
    // A folder to write into, an existing or a new one; nothing when cancelled.
    virtual std::optional<QString> chooseOutputFolder(const Files &request);
    // The index of the item chosen; nothing when cancelled.
    virtual std::optional<int> choose(const Choice &request);
    // (A service that shows no choosers cancels them.)

    // The service in use: the one installed, else the default.
    static DialogService &current();
    // Installs a service (not owned); nullptr restores the default.
    static void install(DialogService *service);
    // The default (not owned): the desktop's dialogs in a widget application. Without one,
    // nothing is shown: a message gets its default button, and every dialog, chooser and
    // input is cancelled.
    static void installDefault(DialogService *service);
};

// Shorthands for the common boxes.
void ShowErrorMessage(QWidget *parent, const QString &caption, const QString &text);
void ShowWarningMessage(QWidget *parent, const QString &caption, const QString &text);
