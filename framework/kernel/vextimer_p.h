// SPDX-License-Identifier: MIT
//
// Not part of the public API: the private data of CvexTimer.
#ifndef VEXTIMER_P_H
#define VEXTIMER_P_H

#include "vextimer.h"

#include <asio/io_context.hpp>
#include <asio/steady_timer.hpp>

#include <memory>
#include <mutex>

namespace Orrery {

// The waitable timer of one event loop. Its operations run only in that loop's thread; the
// context is kept alive for as long as the timer exists.
struct CvexTimerBinding {
    explicit CvexTimerBinding(std::shared_ptr<asio::io_context> loop)
        : context(std::move(loop)), timer(*context)
    {
    }

    std::shared_ptr<asio::io_context> context;
    asio::steady_timer timer;
};

// Queued work holds the timer data only weakly, so a timer deleted while its loop is stopped
// leaves nothing behind that keeps it or the loop alive.
class CvexTimerPrivate : public std::enable_shared_from_this<CvexTimerPrivate> {
public:
    explicit CvexTimerPrivate(CvexTimer* q) : q(q) {}

    void bindTo(CvexThread* thread);
    void schedule(int msec, bool active);
    void detachOwner();

    bool isActive() const;
    int interval() const;

private:
    // Each start, stop and move opens a new generation; work of an older one is dropped.
    struct Arming {
        std::weak_ptr<CvexTimerBinding> binding;
        unsigned long generation = 0;
    };

    void postArm(const Arming& arming);
    bool isCurrent(const Arming& arming, int* msec) const;
    void arm(const std::shared_ptr<CvexTimerBinding>& binding, const Arming& arming);
    void fire(const std::shared_ptr<CvexTimerBinding>& binding, const Arming& arming);
    void emitTimeOut();

    // Held while "timeOut" is emitted, so that the owner's destructor waits for the emission.
    std::recursive_mutex _emitMutex;
    CvexTimer* q;

    mutable std::mutex _mutex;
    bool _active = false;
    int _interval = 0;
    unsigned long _generation = 0;
    std::shared_ptr<CvexTimerBinding> _binding;
};

} // namespace Orrery

#endif // VEXTIMER_P_H
