#pragma once

#include <QString>
#include <QStringList>
#include <Qt>

// The desktop services the program uses: opening documents and web addresses, starting a
// program, the clipboard and the state of the modifier keys. Tests install a fake.
class Desktop
{
public:
    virtual ~Desktop();

    // Opens a web or mail address, or a document, with the user's program for it. A local
    // program file is never run. True when the desktop accepted the request.
    virtual bool openDocument(const QString &text) = 0;
    // Starts a program with an argument vector, never through a command shell.
    virtual bool startProgram(const QString &program, const QStringList &arguments) = 0;
    virtual void setClipboardText(const QString &text) = 0;
    virtual QString clipboardText() = 0;
    virtual Qt::KeyboardModifiers keyboardModifiers() = 0;

    static Desktop &current();
    // Installs a desktop (not owned); nullptr restores the real one.
    static void install(Desktop *desktop);

    // True when opening text would start a program on this machine.
    static bool namesLocalProgram(const QString &text);
};
