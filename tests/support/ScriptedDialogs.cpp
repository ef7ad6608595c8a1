#include "ScriptedDialogs.h"

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
    asked.append({false, request, {}, false, {}});
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
    asked.append({true, {}, request, false, {}});
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

int ScriptedDialogs::messageCount() const
{
    int n = 0;
    for (const Asked &a : asked)
        if (!a.isInput && !a.isDialog)
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
        if (!a.isInput && !a.isDialog)
            texts << a.message.text;
    return texts;
}

QString ScriptedDialogs::lastText() const
{
    for (auto it = asked.crbegin(); it != asked.crend(); ++it)
        if (!it->isInput && !it->isDialog)
            return it->message.text;
    return {};
}
