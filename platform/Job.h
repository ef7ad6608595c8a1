#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <atomic>
#include <functional>

class QThread;

// Long work (an import, an export, building the index) on a thread of its own: it tells how
// far it is, can be asked to stop from any thread, and tells its end in the thread that
// started it. Whoever shows progress or takes Esc follows Jobs::instance().
class Job : public QObject
{
    Q_OBJECT
public:
    using Work = std::function<void(Job &job)>;

    // Starts work on a new thread. The job is deleted after finished() has been handled.
    static Job *start(const QString &title, Work work);

    QString title() const { return m_title; }
    // From the work: how far it is; false once a stop was asked for.
    bool report(qint64 done, qint64 total);
    bool isCancelled() const { return m_cancelled.load(); }
    // For work that checks for a stop in loops of its own.
    const std::atomic<bool> *cancelFlag() const { return &m_cancelled; }
    // Asks the work to stop at its next report; from any thread.
    void cancel() { m_cancelled = true; }
    // Blocks until the work has returned (finished() still comes through the event loop).
    void waitForWork();

signals:
    void progress(qint64 done, qint64 total);
    void finished();

private:
    Job(const QString &title, Work work);
    ~Job() override;

    QString m_title;
    Work m_work;
    QThread *m_thread = nullptr;
    std::atomic<bool> m_cancelled{false};
};

// The jobs that run.
class Jobs : public QObject
{
    Q_OBJECT
public:
    static Jobs &instance();
    QList<Job *> running() const { return m_running; }
    // Asks every running job to stop; false when none runs.
    bool cancelAll();
    // Waits for every running job; for tests.
    bool waitAll(int ms = 30000);

signals:
    void started(Job *job);
    void allFinished();

private:
    friend class Job;
    Jobs() = default;
    QList<Job *> m_running;
};
