// ThreadSanitizer and Qt's event hand-overs, for every test binary (see
// tsanevents.h). Without ThreadSanitizer this file defines nothing but the
// anchor.
#include "tsan-events/tsanevents.h"

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>

#include <cstdlib>
#include <new>

// Qt hands a posted event (a queued call, a deleteLater) to the receiving
// thread under locks inside Qt's own library, which is not instrumented, so
// ThreadSanitizer would take every queued call for a race with the code that
// posted it. The poster allocates the event right before queueing it: each
// allocation publishes the allocating thread's history at its address, and
// the delivery of an event (PublishingApplication::notify) takes it up there.
// The functor of a queued call is freed by whichever side drops the last
// reference, counted inside Qt as well: a delivered event publishes its
// thread's history, and a free takes it up.
namespace {

void *allocatePublished(std::size_t size)
{
    void *memory = std::malloc(size ? size : 1);
    if (!memory)
        throw std::bad_alloc();
    __tsan_release(memory);
    return memory;
}
} // namespace

void *operator new(std::size_t size)
{
    return allocatePublished(size);
}
void *operator new[](std::size_t size)
{
    return allocatePublished(size);
}
void *operator new(std::size_t size, const std::nothrow_t &) noexcept
{
    void *memory = std::malloc(size ? size : 1);
    if (memory)
        __tsan_release(memory);
    return memory;
}
void *operator new[](std::size_t size, const std::nothrow_t &tag) noexcept
{
    return operator new(size, tag);
}
namespace {
void freeAfterDeliveries(void *memory)
{
    if (!memory)
        return;
    __tsan_acquire(&TsanEvents::delivered);
    std::free(memory);
}
} // namespace

void operator delete(void *memory) noexcept
{
    freeAfterDeliveries(memory);
}
void operator delete[](void *memory) noexcept
{
    freeAfterDeliveries(memory);
}
void operator delete(void *memory, std::size_t) noexcept
{
    freeAfterDeliveries(memory);
}
void operator delete[](void *memory, std::size_t) noexcept
{
    freeAfterDeliveries(memory);
}
void operator delete(void *memory, const std::nothrow_t &) noexcept
{
    freeAfterDeliveries(memory);
}
void operator delete[](void *memory, const std::nothrow_t &) noexcept
{
    freeAfterDeliveries(memory);
}
#endif

namespace TsanEvents {
char delivered;
} // namespace TsanEvents
