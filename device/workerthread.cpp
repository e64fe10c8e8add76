#include "device/workerthread.h"

#include "device/logging.h"

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
    if (!stopped)
        queue.push_back(std::move(task));
    // Otherwise the task is destroyed on return, after the lock is released:
    // a waiter's completion guard in it reports the drop at once.
}

std::deque<WorkerThread::Task> WorkerThread::takeAll()
{
    std::deque<Task> removed;
    {
        std::lock_guard<std::mutex> lock(mutex);
        removed.swap(queue);
    }
    return removed;  // destroyed by the caller, outside the lock
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
    if (QThread::currentThread() == workerThread)
        return;  // a task cannot wait for its own thread to end

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

        bool idle = false;
        {
            std::lock_guard<std::mutex> lock(mutex);
            idle = queue.empty();
        }
        if (idle)
            QThread::msleep(1);

        task = nullptr;
    }
}
