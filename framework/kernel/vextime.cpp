// SPDX-License-Identifier: MIT
#include "vextime.h"

#include <chrono>
#include <thread>

namespace Orrery {

void CvexTime::usleep(int usec)
{
    if (usec > 0)
        std::this_thread::sleep_for(std::chrono::microseconds(usec));
}

void CvexTime::msleep(int msec)
{
    if (msec > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(msec));
}

} // namespace Orrery
