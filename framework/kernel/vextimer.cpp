// SPDX-License-Identifier: MIT
#include "vextimer.h"
#include "vexthread_p.h"
#include "vextimer_p.h"

#include <asio/post.hpp>

#include <chrono>

namespace Orrery {

void CvexTimerPrivate::bindTo(CvexThread* thread)
{
    std::shared_ptr<asio::io_context> loop = vexEventContext(thread);
    Arming arming;
    bool active = false;
    {
        const std::lock_guard<std::mutex> lock(_mutex);
        _binding = loop ? std::make_shared<CvexTimerBinding>(std::move(loop)) : nullptr;
        arming = {_binding, ++_generation};
        active = _active;
    }
    if (active)
        postArm(arming);
}

void CvexTimerPrivate::schedule(int msec, bool active)
{
    Arming arming;
    {
        const std::lock_guard<std::mutex> lock(_mutex);
        if (active)
            _interval = msec;
        _active = active;
        arming = {_binding, ++_generation};
    }
    if (active)
        postArm(arming);
}

void CvexTimerPrivate::detachOwner()
{
    {
        const std::lock_guard<std::recursive_mutex> lock(_emitMutex);
        q = nullptr;
    }
    const std::lock_guard<std::mutex> lock(_mutex);
    _active = false;
    ++_generation;
}

bool CvexTimerPrivate::isActive() const
{
    const std::lock_guard<std::mutex> lock(_mutex);
    return _active;
}

int CvexTimerPrivate::interval() const
{
    const std::lock_guard<std::mutex> lock(_mutex);
    return _interval;
}

// The waitable timer is touched only in its loop's thread, so arming is always posted there.
void CvexTimerPrivate::postArm(const Arming& arming)
{
    const std::shared_ptr<CvexTimerBinding> binding = arming.binding.lock();
    if (!binding)
        return;
    asio::post(*binding->context, [self = weak_from_this(), arming] {
        const auto d = self.lock();
        const auto binding = arming.binding.lock();
        if (d && binding)
            d->arm(binding, arming);
    });
}

bool CvexTimerPrivate::isCurrent(const Arming& arming, int* msec) const
{
    const std::lock_guard<std::mutex> lock(_mutex);
    *msec = _interval;
    return _active && _generation == arming.generation && _binding == arming.binding.lock();
}

void CvexTimerPrivate::arm(const std::shared_ptr<CvexTimerBinding>& binding, const Arming& arming)
{
    int msec = 0;
    if (!isCurrent(arming, &msec))
        return;
    const auto onExpiry = [self = weak_from_this(), arming](const std::error_code& error) {
        const auto d = self.lock();
        const auto binding = arming.binding.lock();
        if (!error && d && binding)
            d->fire(binding, arming);
    };
    if (msec == 0) {
        // Posted rather than looped: the loop serves everything else queued before each tick.
        binding->timer.cancel();
        asio::post(*binding->context, [onExpiry] { onExpiry(std::error_code()); });
        return;
    }
    binding->timer.expires_after(std::chrono::milliseconds(msec));
    binding->timer.async_wait(onExpiry);
}

void CvexTimerPrivate::fire(const std::shared_ptr<CvexTimerBinding>& binding, const Arming& arming)
{
    int msec = 0;
    if (!isCurrent(arming, &msec))
        return;
    if (msec == 0) {
        arm(binding, arming);
    } else {
        // The next period counts from the planned expiry, unless the loop fell a period behind.
        const auto now = asio::steady_timer::clock_type::now();
        const auto next = binding->timer.expiry() + std::chrono::milliseconds(msec);
        binding->timer.expires_at(next > now ? next : now + std::chrono::milliseconds(msec));
        binding->timer.async_wait([self = weak_from_this(), arming](const std::error_code& e) {
            const auto d = self.lock();
            const auto current = arming.binding.lock();
            if (!e && d && current)
                d->fire(current, arming);
        });
    }
    emitTimeOut();
}

void CvexTimerPrivate::emitTimeOut()
{
    const std::lock_guard<std::recursive_mutex> lock(_emitMutex);
    if (q)
        q->emitSignal("timeOut");
}

CvexTimer::CvexTimer(CvexObject* parent)
    : CvexObject(parent), d_ptr(std::make_shared<CvexTimerPrivate>(this))
{
    d_ptr->bindTo(thread());
}

CvexTimer::~CvexTimer()
{
    d_ptr->detachOwner();
}

void CvexTimer::start(int msec)
{
    if (msec >= 0)
        d_ptr->schedule(msec, true);
}

void CvexTimer::start()
{
    start(interval());
}

void CvexTimer::stop()
{
    d_ptr->schedule(0, false);
}

bool CvexTimer::isActive() const
{
    return d_ptr->isActive();
}

int CvexTimer::interval() const
{
    return d_ptr->interval();
}

void CvexTimer::threadChangeEvent(CvexThread* thread)
{
    d_ptr->bindTo(thread);
}

} // namespace Orrery
