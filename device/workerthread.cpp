#include "device/workerthread.h"

#include "device/logging.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDebug>
#include <QEventLoop>
#include <QThread>

#include <exception>

WorkerThread::WorkerThread(QObject *parent) : QObject(parent)
{
    workerThread = QThread::create([this] { run(); });
    workerThread->setObjectName(QStringLiteral("WorkerThread"));
    workerThread->start(QThread::HighPriority);
}

WorkerThread::~WorkerThread()
{
    stop();
    workerThread->wait();
    delete workerThread;
    // Tasks pushed from another thread during the shutdown.
    takeAll();
}

void WorkerThread::push(Task task)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (stopped)
        return; // the task is destroyed on return, after the lock is released:
                // a waiter's completion guard in it reports the drop at once
    queue.push_back(std::move(task));
    if (waiting) {
        waiting = false; // one wake-up ends the wait
        wakeUpLocked();
    }
}

void WorkerThread::wakeUpLocked()
{
    // No dispatcher yet: the worker has not started waiting, and it looks at
    // the queue and its interruption before it first does. A wake-up that
    // comes before the wait is kept by the dispatcher and ends that wait at
    // once. The worker clears the pointer under the lock before its thread
    // ends, so the dispatcher is alive while it is woken here.
    if (dispatcher)
        dispatcher->wakeUp();
}

std::deque<WorkerThread::Task> WorkerThread::takeAll()
{
    std::deque<Task> removed;
    {
        std::lock_guard<std::mutex> lock(mutex);
        removed.swap(queue);
    }
    return removed; // destroyed by the caller, outside the lock
}

void WorkerThread::clear()
{
    takeAll();
}

QThread *WorkerThread::thread() const
{
    return workerThread;
}

void WorkerThread::stop()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopped = true;
    }
    workerThread->requestInterruption();
    {
        std::lock_guard<std::mutex> lock(mutex);
        wakeUpLocked();
    }
    if (QThread::currentThread() == workerThread)
        return; // a task cannot wait for its own thread to end

    if (QCoreApplication::instance()) {
        // Connect before testing, so a thread that ends in between still
        // quits the loop.
        QEventLoop loop;
        connect(workerThread, &QThread::finished, &loop, &QEventLoop::quit);
        if (!workerThread->isFinished())
            loop.exec();
    }
    workerThread->wait();
    takeAll();
}

void WorkerThread::run()
{
    QThread *self = QThread::currentThread();
    QAbstractEventDispatcher *own = QAbstractEventDispatcher::instance(self);
    {
        std::lock_guard<std::mutex> lock(mutex);
        dispatcher = own;
    }
    while (!self->isInterruptionRequested()) {
        Task task;
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (!queue.empty()) {
                task = std::move(queue.front());
                queue.pop_front();
            }
        }

        if (task) {
            try {
                task();
            } catch (const std::exception &e) {
                qCDebug(lcDevice) << e.what();
            } catch (...) {
                qCDebug(lcDevice) << "UNKNOWN EXCEPTION";
            }
        }

        QCoreApplication::processEvents();

        task = nullptr;

        bool idle = false;
        {
            std::lock_guard<std::mutex> lock(mutex);
            idle = queue.empty();
            waiting = idle;
        }
        // Sleep until there is something to do: push() and stop() wake the
        // dispatcher, posted events, timers and sockets of objects living
        // here end the wait by themselves (and are delivered by it).
        if (idle && !self->isInterruptionRequested()) {
            if (own)
                own->processEvents(QEventLoop::WaitForMoreEvents);
            else
                QThread::msleep(1);
            std::lock_guard<std::mutex> lock(mutex);
            waiting = false;
        }
    }

    std::lock_guard<std::mutex> lock(mutex);
    dispatcher = nullptr;
}
