#pragma once
// Ends the test binary when the code under test never gives its thread
// back: a deadlock cannot be timed out from the thread it blocks.

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace TestSupport {

class Watchdog
{
public:
    Watchdog(int ms, const char *what)
        : thread([this, ms, what] {
              std::unique_lock<std::mutex> lock(mutex);
              if (!done.wait_for(lock, std::chrono::milliseconds(ms), [this] { return finished; })) {
                  std::fprintf(stderr, "Watchdog: %s did not happen within %d ms\n", what, ms);
                  std::fflush(stderr);
                  std::_Exit(3);
              }
          })
    {}
    ~Watchdog()
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            finished = true;
        }
        done.notify_all();
        thread.join();
    }

private:
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    std::thread thread;
};

} // namespace TestSupport
