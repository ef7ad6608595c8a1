#pragma once

#include <QApplication>

#include <exception>
#include <utility>

class VandrelError;

// The application object. Qt has no top-level handler for errors raised while an event is
// handled, so this one catches them where events are delivered, shows each in a message box
// and lets the program go on; the interrupted operation simply stops.
class VandrelApplication : public QApplication
{
    Q_OBJECT
public:
    VandrelApplication(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;

    // Caption of the error boxes; the program sets it to its title.
    static void setTitle(const QString &title);
    static QString title();

    // Shows an error the way the top-level handler does.
    static void reportError(const std::exception &error);

    // Runs fn; an error it raises is reported instead of passed on. True when fn completed.
    // For code that Qt calls outside event delivery, such as slots of queued signals.
    template<typename Fn>
    static bool guarded(Fn &&fn)
    {
        try {
            std::forward<Fn>(fn)();
            return true;
        } catch (const std::exception &error) {
            reportError(error);
            return false;
        }
    }
};
