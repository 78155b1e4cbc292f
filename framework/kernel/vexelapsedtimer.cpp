// SPDX-License-Identifier: MIT
#include "vexelapsedtimer.h"

namespace Orrery {

void CvexElapsedTimer::start()
{
    _start = std::chrono::steady_clock::now();
    _valid = true;
}

long long CvexElapsedTimer::restart()
{
    const long long before = elapsed();
    start();
    return before;
}

long long CvexElapsedTimer::elapsed() const
{
    if (!_valid)
        return 0;
    const auto span = std::chrono::steady_clock::now() - _start;
    return std::chrono::duration_cast<std::chrono::milliseconds>(span).count();
}

// A negative timeout never expires, nor does a timer that was never started.
bool CvexElapsedTimer::hasExpired(long long timeout) const
{
    return _valid && timeout >= 0 && elapsed() > timeout;
}

bool CvexElapsedTimer::isValid() const
{
    return _valid;
}

void CvexElapsedTimer::invalidate()
{
    _valid = false;
}

} // namespace Orrery
