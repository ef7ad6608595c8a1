#include "ScriptedDialogs.h"

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
    asked.append({false, request, {}});
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
    asked.append({true, {}, request});
    if (!m_inputs.isEmpty())
        return m_inputs.takeFirst();
    return std::nullopt;
}

int ScriptedDialogs::messageCount() const
{
    int n = 0;
    for (const Asked &a : asked)
        if (!a.isInput)
            ++n;
    return n;
}

QString ScriptedDialogs::lastText() const
{
    for (auto it = asked.crbegin(); it != asked.crend(); ++it)
        if (!it->isInput)
            return it->message.text;
    return {};
}
