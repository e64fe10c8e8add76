#include "device/checker.h"

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
    while (!isDone())
        loop.exec();
}
