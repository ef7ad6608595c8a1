#pragma once

#include "platform/Desktop.h"

#include <QList>
#include <QStringList>

// Records what the program asks of the desktop. Installed for its lifetime.
class FakeDesktop : public Desktop
{
public:
    struct Started
    {
        QString program;
        QStringList arguments;
    };

    FakeDesktop();
    ~FakeDesktop() override;

    bool startProgram(const QString &program, const QStringList &arguments) override;
    void setClipboardText(const QString &text) override { clipboard = text; }
    QString clipboardText() override { return clipboard; }
    Qt::KeyboardModifiers keyboardModifiers() override { return modifiers; }

    QStringList opened;
    QList<Started> started;
    QString clipboard;
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
    bool accept = true;

protected:
    // Records the address as text.
    bool openUrl(const QUrl &url) override;
};
