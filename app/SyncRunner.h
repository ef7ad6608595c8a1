#pragma once

#include <QHash>
#include <QObject>
#include <QString>

#include <functional>

class QTimer;
class QWidget;
class Settings;
struct SyncAccount;
struct SyncReport;

// Runs the sync of the first account as a Job (the main window's progress bar shows it, Esc
// stops it) when the user asks, on start and every N minutes when the account says so, and
// shows the report through the dialog service. The password comes from the keyring; where
// none runs, the user is asked once per session and it stays in memory only.
class SyncRunner : public QObject
{
    Q_OBJECT
public:
    SyncRunner(QWidget *owner, std::function<const Settings *()> settings);

    // The user asked: the report is shown whatever it says. A periodic sync shows it only when
    // something went wrong or a conflict was noted.
    void SyncNow(bool asked = true);
    // Reads the account's periodic setting anew (after the sync settings changed).
    void Reschedule();
    bool Running() const { return m_running; }

    // A password typed for this session where no keyring keeps it.
    static void RememberPassword(const QString &account, const QString &password);

signals:
    void finished();

private:
    void Start(const SyncAccount &account, const QString &password, bool asked);
    void Show(const SyncReport &report, bool asked);

    QWidget *m_owner;
    std::function<const Settings *()> m_settings;
    QTimer *m_timer;
    bool m_running = false;
};
