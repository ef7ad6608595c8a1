#include "Program.h"

#include "app/ProjectInc.h"
#include "app/main.h"
#include "platform/Application.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcStart, "vandrel.instance", QtWarningMsg)

int RunProgram(int &argc, char **argv)
{
    VandrelApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Vandrel"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VANDREL_VERSION_STRING));
    // Ties the windows to the installed desktop entry (its StartupWMClass is the name above).
    QGuiApplication::setDesktopFileName(TzuPrjInfo::AppId);
    // The main window may be hidden in the notification area; its closing ends the program.
    app.setQuitOnLastWindowClosed(false);

    TzuPrjInfo info;
    zuPrjInfo = &info;
    if (!info.CheckSingleInstance()) {
        qCDebug(lcStart) << "handed over to the running instance";
        zuPrjInfo = nullptr;
        return 0;
    }
    qCDebug(lcStart) << "running as the first instance";

    int code = 0;
    {
        TfrmMainVR window;
        QObject::connect(&window, &TfrmZuThreeButtons::closed, &app, &QCoreApplication::quit,
                         Qt::QueuedConnection);
        info.StoreMainWindow(&window, [&window] { window.WMCopyData(); });
        // With boot mode 3 the window waits in the notification area; where there is none, it
        // starts minimised instead of not at all.
        if (!InTray)
            window.show();
        code = app.exec();
    }
    zuPrjInfo = nullptr;
    Q_UNUSED(code);
    return 0;
}
