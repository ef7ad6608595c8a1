#include "DesktopDialogs.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>

static_assert(int(DesktopDialogs::Accepted) == int(QDialog::Accepted)
              && int(DesktopDialogs::Rejected) == int(QDialog::Rejected));

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

QWidget *owner(QWidget *parent)
{
    return parent ? parent : QApplication::activeWindow();
}

// Every widget application gets the desktop's dialogs, also a test's own QApplication; the
// command line's QCoreApplication keeps the service that shows nothing.
void installForWidgetApplications()
{
    if (qobject_cast<QApplication *>(QCoreApplication::instance()))
        DesktopDialogs::installAsDefault();
}
Q_COREAPP_STARTUP_FUNCTION(installForWidgetApplications)

} // namespace

DialogService::Button DesktopDialogs::message(const Message &request)
{
    // A job's worker (a sync that could not trash a record) asks the window's thread, where
    // widgets live, and waits for the answer.
    if (QThread::currentThread() != QCoreApplication::instance()->thread()) {
        Button answer = request.defaultButton;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [&] { answer = message(request); },
            Qt::BlockingQueuedConnection);
        return answer;
    }
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

std::optional<QString> DesktopDialogs::input(const Input &request)
{
    QInputDialog dialog(request.parent ? request.parent : QApplication::activeWindow());
    dialog.setWindowTitle(request.caption);
    dialog.setLabelText(request.prompt);
    dialog.setTextValue(request.value);
    if (request.secret)
        dialog.setTextEchoMode(QLineEdit::Password);
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

int DesktopDialogs::execDialog(QDialog &dialog)
{
    return dialog.exec();
}

std::optional<QStringList> DesktopDialogs::chooseOpenFiles(const Files &request)
{
    const QStringList files = QFileDialog::getOpenFileNames(owner(request.parent), request.caption,
                                                            request.path, request.filter);
    if (files.isEmpty())
        return std::nullopt;
    return files;
}

std::optional<QString> DesktopDialogs::chooseSaveFile(const Files &request)
{
    const QString file = QFileDialog::getSaveFileName(owner(request.parent), request.caption,
                                                      request.path, request.filter);
    if (file.isEmpty())
        return std::nullopt;
    return file;
}

std::optional<QString> DesktopDialogs::chooseOutputFolder(const Files &request)
{
    const QString dir =
        QFileDialog::getExistingDirectory(owner(request.parent), request.caption, request.path);
    if (dir.isEmpty())
        return std::nullopt;
    return dir;
}

std::optional<int> DesktopDialogs::choose(const Choice &request)
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

void DesktopDialogs::installAsDefault()
{
    static DesktopDialogs dialogs;
    DialogService::installDefault(&dialogs);
}
