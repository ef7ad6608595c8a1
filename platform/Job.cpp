#include "Job.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

Job::Job(const QString &title, Work work)
    : m_title(title)
    , m_work(std::move(work))
{}

Job::~Job()
{
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
    }
}

Job *Job::start(const QString &title, Work work)
{
    auto *job = new Job(title, std::move(work));
    job->m_thread = QThread::create([job] { job->m_work(*job); });
    // finished comes in the job's own thread, after the work has returned.
    connect(job->m_thread, &QThread::finished, job, [job] {
        Jobs &jobs = Jobs::instance();
        jobs.m_running.removeAll(job);
        emit job->finished();
        if (jobs.m_running.isEmpty())
            emit jobs.allFinished();
        job->deleteLater();
    });
    Jobs::instance().m_running.append(job);
    emit Jobs::instance().started(job);
    job->m_thread->start();
    return job;
}

bool Job::report(qint64 done, qint64 total)
{
    emit progress(done, total);
    return !isCancelled();
}

void Job::waitForWork()
{
    m_thread->wait();
}

Jobs &Jobs::instance()
{
    static Jobs jobs;
    return jobs;
}

bool Jobs::cancelAll()
{
    for (Job *job : std::as_const(m_running))
        job->cancel();
    return !m_running.isEmpty();
}

bool Jobs::waitAll(int ms)
{
    const QDeadlineTimer deadline(ms);
    while (!m_running.isEmpty() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return m_running.isEmpty();
}
