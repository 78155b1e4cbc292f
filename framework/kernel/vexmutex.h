// SPDX-License-Identifier: MIT
#ifndef VEXMUTEX_H
#define VEXMUTEX_H

#include "vexglobal.h"
#include "vexnocopyable.h"

#include <mutex>

namespace Orrery {

// Mutual exclusion. Both kinds meet the standard Lockable requirements, so std::lock_guard and
// std::unique_lock work with them.
class VEX_KERNEL_EXPORT CvexMutex : public CvexNoCopyable {
public:
    void lock() { _mutex.lock(); }
    void unlock() { _mutex.unlock(); }
    bool try_lock() { return _mutex.try_lock(); }
    bool tryLock() { return _mutex.try_lock(); }

private:
    std::mutex _mutex;
};

class VEX_KERNEL_EXPORT CvexRecursiveMutex : public CvexNoCopyable {
public:
    void lock() { _mutex.lock(); }
    void unlock() { _mutex.unlock(); }
    bool try_lock() { return _mutex.try_lock(); }
    bool tryLock() { return _mutex.try_lock(); }

private:
    std::recursive_mutex _mutex;
};

} // namespace Orrery

#endif // VEXMUTEX_H
