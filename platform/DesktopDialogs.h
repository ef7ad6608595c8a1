#pragma once

#include "platform/DialogService.h"

// The desktop's message boxes, input boxes and file choosers: the dialog service of every
// widget application, set as the default when the application object is made.
class DesktopDialogs final : public DialogService
{
public:
    Button message(const Message &request) override;
    std::optional<QString> input(const Input &request) override;
    int execDialog(QDialog &dialog) override;
    std::optional<QStringList> chooseOpenFiles(const Files &request) override;
    std::optional<QString> chooseSaveFile(const Files &request) override;
    std::optional<QString> chooseOutputFolder(const Files &request) override;
    std::optional<int> choose(const Choice &request) override;

    // Makes the one instance the dialog service's default.
    static void installAsDefault();
};
