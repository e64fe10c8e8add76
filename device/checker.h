#pragma once

// The wait point: a caller pushes a task onto a worker and waits here, in a
// local event loop of its own thread, until the task reports completion.
//
// The completing side never holds a raw pointer to the Checker: it goes
// through a CheckerHandle, whose shared link is detached by the Checker's
// destructor under the same mutex that guards the completion. A Checker can
// therefore not be destroyed while a worker is in the middle of completing
// it, and a late completion after the waiter has gone is a harmless no-op.

#include <QObject>

#include <memory>
#include <mutex>
#include <type_traits>
#include <utility>

class Checker;

namespace details {
struct CheckerLink
{
    std::recursive_mutex mutex;
    Checker *checker = nullptr;
    bool done = false;
};
} // namespace details

// A copyable, thread-safe reference to a Checker that may outlive it.
class CheckerHandle
{
public:
    CheckerHandle() = default;

    // When the checker still exists and is not done yet: run `store` (which
    // writes the task's result into the waiting function's variables), set
    // done and emit checked(), all under the link's lock. Returns whether it
    // completed the checker; a second completion does nothing.
    template<typename Store>
    bool complete(Store &&store) const;

    bool complete() const
    {
        return complete([] {});
    }

private:
    friend class Checker;
    explicit CheckerHandle(std::shared_ptr<details::CheckerLink> link) : link(std::move(link)) {}
    static void emitChecked(Checker *checker);

    std::shared_ptr<details::CheckerLink> link;
};

class Checker : public QObject
{
    Q_OBJECT
public:
    explicit Checker(QObject *parent = nullptr);
    // Waits for a completion that is running at this moment, then detaches
    // the handles so that later completions do nothing.
    ~Checker() override;

    Checker(const Checker &) = delete;
    Checker &operator=(const Checker &) = delete;

    // Runs a local event loop until done is set; returns at once when it
    // already is. The thread keeps processing its events meanwhile, so a
    // second wait may begin inside the first; each returns only when its own
    // checker is done.
    void wait();

    bool isDone() const;

    // Sets done and emits checked(); callable from any thread.
    void complete();

    CheckerHandle handle() const { return CheckerHandle(link); }

signals:
    void checked();

private:
    std::shared_ptr<details::CheckerLink> link;
};

template<typename Store>
bool CheckerHandle::complete(Store &&store) const
{
    if (!link)
        return false;
    std::lock_guard<std::recursive_mutex> lock(link->mutex);
    if (!link->checker || link->done)
        return false;
    std::forward<Store>(store)();
    link->done = true;
    emitChecked(link->checker);
    return true;
}

// The completion callback of the wait idiom: the first call stores its value
// into `result` and completes the checker; later calls are ignored. When the
// last copy is destroyed without ever having been called (the task was
// dropped from its queue, or ended by an exception) it completes with an
// empty result (`T{}`: false, an empty optional, ...), so no waiter waits for
// good. Declare `result` before the Checker in the waiting function.
template<typename T>
class WaitCompletion
{
public:
    WaitCompletion(Checker &checker, T &result) : state(std::make_shared<State>(checker.handle(), &result)) {}

    void operator()(T value) const
    {
        state->handle.complete([&] { *state->result = std::move(value); });
    }

private:
    struct State
    {
        State(CheckerHandle handle, T *result) : handle(std::move(handle)), result(result) {}
        ~State()
        {
            handle.complete([this] { *result = T{}; });
        }
        CheckerHandle handle;
        T *result;
    };
    std::shared_ptr<State> state;
};

template<>
class WaitCompletion<void>
{
public:
    explicit WaitCompletion(Checker &checker) : state(std::make_shared<State>(checker.handle())) {}

    void operator()() const { state->handle.complete(); }

private:
    struct State
    {
        explicit State(CheckerHandle handle) : handle(std::move(handle)) {}
        ~State() { handle.complete(); }
        CheckerHandle handle;
    };
    std::shared_ptr<State> state;
};
