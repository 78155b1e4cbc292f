// SPDX-License-Identifier: MIT
#ifndef VEXTIME_H
#define VEXTIME_H

#include "vexglobal.h"

namespace Orrery {

class VEX_KERNEL_EXPORT CvexTime {
public:
    static void usleep(int usec);
    static void msleep(int msec);
};

} // namespace Orrery

#endif // VEXTIME_H
