#pragma once

#include "sync/SyncEngine.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <utility>

class QTimer;
class QWidget;
class Settings;
struct SyncAccount;

// Runs the sync of every account, one after the other, each as a Job (the main window's
// progress bar shows it, Esc stops it and the accounts still waiting): when the user asks, and
// for each account that says so on start and every N minutes of its own. One account's failure
// does not keep the others from syncing; the report names each account. The password comes
// from the keyring; where none runs, the user is asked once per session and account and it
// stays in memory only.
class SyncRunner : public QObject
{
    Q_OBJECT
public:
    SyncRunner(QWidget *owner, std::function<const Settings *()> settings);
    ~SyncRunner() override;

    // Every account. The user asked: the report is shown whatever it says. A periodic sync
    // shows it only when something went wrong or a conflict was noted.
    void SyncNow(bool asked = true);
    // Reads the accounts' periodic settings anew (after the sync settings changed).
    void Reschedule();
    bool Running() const { return m_running; }

    // A password typed for this session where no keyring keeps it.
    static void RememberPassword(const QString &account, const QString &password);
    // The account's typed password goes with it to another name, or is forgotten.
    static void MovePassword(const QString &from, const QString &to);
    static void ForgetPassword(const QString &account);

signals:
    // The last account of a run has synced (or failed).
    void finished();

private:
    void Queue(const QStringList &names, bool asked);
    void Next();
    void Start(const SyncAccount &account, const QString &password);
    void Done(const QString &name, const SyncReport &report);
    void Show();

    QWidget *m_owner;
    std::function<const Settings *()> m_settings;
    QHash<QString, QTimer *> m_timers;               // the periodic accounts' own
    QStringList m_queue;                             // accounts waiting in this run
    QString m_current;                               // the account syncing now
    bool m_asked = false;                            // the user asked for this run
    QList<std::pair<QString, SyncReport>> m_reports; // this run's, by account
    bool m_running = false;
};
