#include "DialogService.h"

namespace {

// Shows nothing: for a process without widgets, such as the command line.
class NoDialogs final : public DialogService
{
public:
    Button message(const Message &request) override
    {
        if (request.defaultButton != NoButton && (request.buttons & request.defaultButton))
            return request.defaultButton;
        // The first one, in the order the desktop's box shows them.
        for (Button button : {Ok, Yes, No, Cancel})
            if (request.buttons & button)
                return button;
        return Ok;
    }
    std::optional<QString> input(const Input &) override { return std::nullopt; }
    int execDialog(QDialog &) override { return Rejected; }
};

DialogService *g_installed = nullptr;
DialogService *g_default = nullptr;

} // namespace

DialogService::~DialogService() = default;

std::optional<QString> DialogService::chooseFolder(QDialog &chooser,
                                                   const std::function<QString()> &selected)
{
    if (execDialog(chooser) != Accepted)
        return std::nullopt;
    return selected();
}

std::optional<QStringList> DialogService::chooseOpenFiles(const Files &)
{
    return std::nullopt;
}

std::optional<QString> DialogService::chooseSaveFile(const Files &)
{
    return std::nullopt;
}

std::optional<QString> DialogService::chooseOutputFolder(const Files &)
{
    return std::nullopt;
}

std::optional<int> DialogService::choose(const Choice &)
{
    return std::nullopt;
}

DialogService &DialogService::current()
{
    static NoDialogs none;
    if (g_installed)
        return *g_installed;
    return g_default ? *g_default : none;
}

void DialogService::install(DialogService *service)
{
    g_installed = service;
}

void DialogService::installDefault(DialogService *service)
{
    g_default = service;
}

void ShowErrorMessage(QWidget *parent, const QString &caption, const QString &text)
{
    DialogService::current().message(
        {parent, DialogService::Icon::Error, caption, text, DialogService::Ok, DialogService::Ok});
}

void ShowWarningMessage(QWidget *parent, const QString &caption, const QString &text)
{
    DialogService::current().message({parent, DialogService::Icon::Warning, caption, text,
                                      DialogService::Ok, DialogService::Ok});
}
