#include "DialogService.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace {

// The desktop's own dialog, of a fixed size with a caption and a close button only.
void fixSize(QDialog &dialog)
{
    dialog.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowCloseButtonHint);
    if (dialog.layout())
        dialog.layout()->setSizeConstraint(QLayout::SetFixedSize);
    else
        dialog.setFixedSize(dialog.sizeHint());
}

class QtDialogService final : public DialogService
{
public:
    Button message(const Message &request) override
    {
        QMessageBox box(request.parent ? request.parent : QApplication::activeWindow());
        box.setWindowTitle(request.caption);
        box.setText(request.text);
        box.setTextFormat(Qt::PlainText);
        // The icon is read by a screen reader as what it says.
        static const struct
        {
            Icon icon;
            QMessageBox::Icon shown;
            const char16_t *spoken;
        } icons[] = {
            {Icon::None, QMessageBox::NoIcon, u""},
            {Icon::Information, QMessageBox::Information, u"알림"},
            {Icon::Warning, QMessageBox::Warning, u"경고"},
            {Icon::Error, QMessageBox::Critical, u"오류"},
            {Icon::Question, QMessageBox::Question, u"질문"},
        };
        for (const auto &icon : icons) {
            if (icon.icon != request.icon)
                continue;
            box.setIcon(icon.shown);
            for (QLabel *label : box.findChildren<QLabel *>())
                if (!label->pixmap().isNull())
                    label->setAccessibleName(QString::fromUtf16(icon.spoken));
        }
        struct Choice
        {
            Button button;
            const char *text;
            QMessageBox::ButtonRole role;
        };
        static const Choice choices[] = {
            {Ok, "OK", QMessageBox::AcceptRole},
            {Yes, "Yes", QMessageBox::YesRole},
            {No, "No", QMessageBox::NoRole},
            {Cancel, "Cancel", QMessageBox::RejectRole},
        };
        QList<std::pair<QPushButton *, Button>> made;
        for (const Choice &c : choices)
            if (request.buttons & c.button)
                made.append({box.addButton(QString::fromLatin1(c.text), c.role), c.button});
        if (made.isEmpty())
            made.append({box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole), Ok});
        for (const auto &[button, id] : made)
            if (id == request.defaultButton)
                box.setDefaultButton(button);
        if (request.defaultButton == NoButton)
            box.setDefaultButton(made.front().first);
        // Escape means Cancel, or No, or the only button.
        QPushButton *escape = made.size() == 1 ? made.front().first : nullptr;
        for (const auto &[button, id] : made)
            if (id == Cancel || (id == No && !escape))
                escape = button;
        if (escape)
            box.setEscapeButton(escape);
        fixSize(box);
        box.exec();
        for (const auto &[button, id] : made)
            if (box.clickedButton() == button)
                return id;
        return (request.buttons & Cancel) ? Cancel : made.front().second;
    }

    std::optional<QString> input(const Input &request) override
    {
        QInputDialog dialog(request.parent ? request.parent : QApplication::activeWindow());
        dialog.setWindowTitle(request.caption);
        dialog.setLabelText(request.prompt);
        dialog.setTextValue(request.value);
        dialog.setOkButtonText(QStringLiteral("OK"));
        dialog.setCancelButtonText(QStringLiteral("Cancel"));
        // Without a prompt the box is read by the caption.
        if (request.prompt.isEmpty())
            for (QLineEdit *edit : dialog.findChildren<QLineEdit *>())
                edit->setAccessibleName(request.caption);
        fixSize(dialog);
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        return dialog.textValue();
    }

    int execDialog(QDialog &dialog) override { return dialog.exec(); }

    std::optional<QStringList> chooseOpenFiles(const Files &request) override
    {
        const QStringList files = QFileDialog::getOpenFileNames(
            owner(request.parent), request.caption, request.path, request.filter);
        if (files.isEmpty())
            return std::nullopt;
        return files;
    }

    std::optional<QString> chooseSaveFile(const Files &request) override
    {
        const QString file = QFileDialog::getSaveFileName(owner(request.parent), request.caption,
                                                          request.path, request.filter);
        if (file.isEmpty())
            return std::nullopt;
        return file;
    }

    std::optional<QString> chooseOutputFolder(const Files &request) override
    {
        const QString dir =
            QFileDialog::getExistingDirectory(owner(request.parent), request.caption, request.path);
        if (dir.isEmpty())
            return std::nullopt;
        return dir;
    }

    std::optional<int> choose(const Choice &request) override
    {
        QInputDialog dialog(owner(request.parent));
        dialog.setWindowTitle(request.caption);
        dialog.setLabelText(request.prompt);
        dialog.setComboBoxItems(request.items);
        dialog.setComboBoxEditable(false);
        dialog.setTextValue(request.items.value(request.current));
        dialog.setOkButtonText(QStringLiteral("OK"));
        dialog.setCancelButtonText(QStringLiteral("Cancel"));
        fixSize(dialog);
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        const qsizetype index = request.items.indexOf(dialog.textValue());
        return index < 0 ? std::nullopt : std::optional<int>(int(index));
    }

private:
    static QWidget *owner(QWidget *parent)
    {
        return parent ? parent : QApplication::activeWindow();
    }
};

DialogService *g_installed = nullptr;

} // namespace

DialogService::~DialogService() = default;

std::optional<QString> DialogService::chooseFolder(QDialog &chooser,
                                                   const std::function<QString()> &selected)
{
    if (execDialog(chooser) != QDialog::Accepted)
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
    static QtDialogService real;
    return g_installed ? *g_installed : real;
}

void DialogService::install(DialogService *service)
{
    g_installed = service;
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
