// SPDX-License-Identifier: MIT
#ifndef VEXELAPSEDTIMER_H
#define VEXELAPSEDTIMER_H

#include "vexglobal.h"

#include <chrono>

namespace Orrery {

// Measures elapsed milliseconds on the monotonic clock. Invalid until started. A plain value:
// callers that share one across threads guard it themselves.
class VEX_KERNEL_EXPORT CvexElapsedTimer {
public:
    CvexElapsedTimer() = default;

    void start();
    // Restarts and returns the milliseconds elapsed before the restart.
    long long restart();
    // Milliseconds since start; 0 while invalid.
    long long elapsed() const;
    bool hasExpired(long long timeout) const;
    bool isValid() const;
    void invalidate();

private:
    std::chrono::steady_clock::time_point _start{};
    bool _valid = false;
};

} // namespace Orrery

#endif // VEXELAPSEDTIMER_H
