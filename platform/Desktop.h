#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
#include <Qt>

// The desktop services the program uses: opening documents and web addresses, starting a
// program, the clipboard and the state of the modifier keys. Tests install a fake.
class Desktop
{
public:
    virtual ~Desktop();

    // Opens a web or mail address, or a local folder, with the user's program for it. Anything
    // else (a program, a script, a document that could run code, an unknown scheme) is refused
    // with a message. True when the desktop accepted the request.
    bool openDocument(const QString &text);
    // Starts a program with an argument vector, never through a command shell.
    virtual bool startProgram(const QString &program, const QStringList &arguments) = 0;
    virtual void setClipboardText(const QString &text) = 0;
    virtual QString clipboardText() = 0;
    virtual Qt::KeyboardModifiers keyboardModifiers() = 0;

    static Desktop &current();
    // Installs a desktop (not owned); nullptr restores the real one.
    static void install(Desktop *desktop);

    // What opening text hands to the desktop: an http, https or ftp address (text without a
    // scheme is taken as a web address), a mailto address, or an existing local folder.
    // An empty URL when text is none of these.
    static QUrl AddressToOpen(const QString &text);

protected:
    // Hands an address that passed AddressToOpen to the user's program for it.
    virtual bool openUrl(const QUrl &url) = 0;
};
