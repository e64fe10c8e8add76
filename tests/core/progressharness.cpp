#include "progressharness.h"

ProgressHarness::ProgressHarness(int removalDelayMs, QObject *parent) : QObject(parent), m_manager(removalDelayMs) {}

int ProgressHarness::add(const QString &name)
{
    m_jobs.push_back(TaskProgress::create());
    m_manager.add(m_jobs.back().get(), name);
    return static_cast<int>(m_jobs.size()) - 1;
}

TaskProgress *ProgressHarness::job(int number) const
{
    if (number < 0 || number >= static_cast<int>(m_jobs.size()))
        return nullptr;
    return m_jobs[static_cast<size_t>(number)].get();
}

void ProgressHarness::start(int number)
{
    if (auto *p = job(number))
        p->start();
}

void ProgressHarness::step(int number, const QString &text)
{
    if (auto *p = job(number))
        p->step(text);
}

void ProgressHarness::setRange(int number, int minimum, int maximum)
{
    if (auto *p = job(number))
        p->setRange(minimum, maximum);
}

void ProgressHarness::setValue(int number, int value, const QString &text)
{
    if (auto *p = job(number))
        p->setValue(value, text);
}

void ProgressHarness::finish(int number)
{
    if (auto *p = job(number))
        p->finish();
}

void ProgressHarness::cancel(int number)
{
    if (auto *p = job(number))
        p->cancel();
}

void ProgressHarness::release(int number)
{
    if (number >= 0 && number < static_cast<int>(m_jobs.size()))
        m_jobs[static_cast<size_t>(number)].reset();
}
