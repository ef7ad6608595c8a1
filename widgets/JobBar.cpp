#include "JobBar.h"

#include "platform/Job.h"

#include <QProgressBar>

#include <algorithm>
#include <climits>

TJobBar::TJobBar(QObject *parent, std::function<QProgressBar *()> bar)
    : QObject(parent)
    , m_bar(std::move(bar))
{
    connect(&Jobs::instance(), &Jobs::started, this, &TJobBar::OnStarted);
    connect(&Jobs::instance(), &Jobs::allFinished, this, &TJobBar::OnAllFinished);
}

void TJobBar::OnStarted(Job *job)
{
    m_newest = job;
    connect(job, &Job::progress, this, [this, job](qint64 done, qint64 total) {
        if (job == m_newest)
            OnProgress(done, total);
    });
    QProgressBar *bar = m_bar ? m_bar() : nullptr;
    if (!bar)
        return;
    m_shown = bar;
    bar->setFormat(QStringLiteral("%p% (Esc: 취소)"));
    bar->setTextVisible(true);
    bar->setMaximum(1);
    bar->setValue(0);
}

void TJobBar::OnProgress(qint64 done, qint64 total)
{
    if (!m_shown)
        return;
    m_shown->setMaximum(int(std::clamp<qint64>(total, 1, INT_MAX)));
    m_shown->setValue(int(std::clamp<qint64>(done, 0, INT_MAX)));
}

TJobBar::~TJobBar()
{
    OnAllFinished();
}

void TJobBar::OnAllFinished()
{
    if (!m_shown)
        return;
    m_shown->setValue(0);
    m_shown->setTextVisible(false);
    m_shown = nullptr;
}
