// SPDX-License-Identifier: MIT
#ifndef VEXNOCOPYABLE_H
#define VEXNOCOPYABLE_H

#include "vexglobal.h"

namespace Orrery {

// Base of every class with identity (objects, threads, sockets, protocols): such objects are
// never copied or moved.
class VEX_KERNEL_EXPORT CvexNoCopyable {
public:
    CvexNoCopyable(const CvexNoCopyable&) = delete;
    CvexNoCopyable& operator=(const CvexNoCopyable&) = delete;
    CvexNoCopyable(CvexNoCopyable&&) = delete;
    CvexNoCopyable& operator=(CvexNoCopyable&&) = delete;

protected:
    CvexNoCopyable() = default;
    ~CvexNoCopyable() = default;
};

} // namespace Orrery

#endif // VEXNOCOPYABLE_H
