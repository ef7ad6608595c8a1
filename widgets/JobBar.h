#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

class Job;
class QProgressBar;

// Shows the running jobs in a progress bar: how far the newest one is, and that Esc stops
// them. When the last job ends the bar is idle again: empty, without text.
class TJobBar : public QObject
{
    Q_OBJECT
public:
    // bar gives the bar to show in (nullptr: none for now).
    TJobBar(QObject *parent, std::function<QProgressBar *()> bar);
    ~TJobBar() override;

private:
    void OnStarted(Job *job);
    void OnProgress(qint64 done, qint64 total);
    void OnAllFinished();

    std::function<QProgressBar *()> m_bar;
    QPointer<QProgressBar> m_shown; // the bar while jobs run
    QPointer<Job> m_newest;
};
