#pragma once

// A thread that runs queued tasks strictly one after another, in the order
// they were pushed. Between tasks the thread processes its own events, so
// queued calls to objects living on it (and their socket notifications) are
// delivered there. An idle worker sleeps in its event dispatcher until a task
// is pushed, an event is posted to it, a socket or timer of an object living
// on it fires, or it is stopped.

#include <QObject>

#include <deque>
#include <functional>
#include <mutex>

class QAbstractEventDispatcher;
class QThread;

class WorkerThread : public QObject
{
    Q_OBJECT
public:
    using Task = std::function<void()>;

    explicit WorkerThread(QObject *parent = nullptr);
    // Stops the thread (a running task finishes first) and destroys every
    // task still queued without running it.
    ~WorkerThread() override;

    WorkerThread(const WorkerThread &) = delete;
    WorkerThread &operator=(const WorkerThread &) = delete;

    // Appends a task; returns at once; callable from any thread. After stop()
    // the task can never run and is destroyed at once.
    void push(Task task);

    // Destroys the queued tasks without running them; a running task is not
    // affected.
    void clear();

    // The thread that runs the tasks: the target of moveToThread for objects
    // that must live on the worker.
    QThread *thread() const;

    // Requests the thread to end and waits in a local event loop until it
    // has; the tasks left in the queue are then destroyed unrun.
    void stop();

private:
    void run();
    std::deque<Task> takeAll();
    void wakeUpLocked(); // with mutex held

    QThread *workerThread = nullptr;
    std::mutex mutex;
    std::deque<Task> queue;
    bool stopped = false; // guarded by mutex
    // The worker's dispatcher, set by the worker once it runs; guarded by mutex.
    QAbstractEventDispatcher *dispatcher = nullptr;
    bool waiting = false; // the worker is (about to be) asleep; guarded by mutex
};
