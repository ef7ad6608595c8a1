#include "Application.h"

#include "DialogService.h"
#include "Errors.h"

namespace {
QString g_title = QStringLiteral("Vandrel");
}

VandrelApplication::VandrelApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{}

bool VandrelApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &error) {
        reportError(error);
        return false;
    }
}

void VandrelApplication::setTitle(const QString &title)
{
    g_title = title;
}

QString VandrelApplication::title()
{
    return g_title;
}

void VandrelApplication::reportError(const std::exception &error)
{
    const auto *own = dynamic_cast<const VandrelError *>(&error);
    QString text = own ? own->message() : QString::fromLocal8Bit(error.what());
    if (dynamic_cast<const std::bad_alloc *>(&error))
        text = QStringLiteral("Out of memory");
    ShowErrorMessage(nullptr, g_title, text);
}
