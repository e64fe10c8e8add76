#pragma once
// Qt hands a posted event (a queued call, a deleteLater) to the receiving
// thread under locks inside Qt's own library, which ThreadSanitizer does not
// see; tsanevents.cpp publishes each allocation's history and a test
// application's notify takes it up on delivery (PublishingApplication).
// Without ThreadSanitizer, PublishingApplication is the plain base class.

#include <QEvent>
#include <QObject>

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#endif

namespace TsanEvents {
// Every delivery releases here; every free acquires it (tsanevents.cpp).
extern char delivered;
} // namespace TsanEvents

template<typename Base>
class PublishingApplication : public Base
{
public:
    using Base::Base;

    bool notify(QObject *receiver, QEvent *event) override
    {
#if defined(__SANITIZE_THREAD__)
        __tsan_acquire(event);
        const bool handled = Base::notify(receiver, event);
        __tsan_release(&TsanEvents::delivered);
        return handled;
#else
        return Base::notify(receiver, event);
#endif
    }
};
