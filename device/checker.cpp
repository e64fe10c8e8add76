#include "device/checker.h"

#include <QCoreApplication>
#include <QEventLoop>

void CheckerHandle::emitChecked(Checker *checker)
{
    emit checker->checked();
}

Checker::Checker(QObject *parent) : QObject(parent), link(std::make_shared<details::CheckerLink>())
{
    link->checker = this;
}

Checker::~Checker()
{
    std::lock_guard<std::recursive_mutex> lock(link->mutex);
    link->checker = nullptr;
}

bool Checker::isDone() const
{
    std::lock_guard<std::recursive_mutex> lock(link->mutex);
    return link->done;
}

void Checker::complete()
{
    handle().complete();
}

void Checker::wait()
{
    // Connect before looking at the flag: a completion between the test and
    // the loop start then still quits the loop (its queued call is pending).
    QEventLoop loop;
    connect(this, &Checker::checked, &loop, &QEventLoop::quit);
    while (!isDone()) {
        loop.exec();
        // Once the application has begun to quit, every new event loop of
        // this thread returns at once until its main loop has returned. The
        // wait then blocks for the thread's next event instead, and goes on
        // delivering events (the completion among them, and any call a job
        // makes into this thread) without spinning.
        if (!isDone())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}
