// SPDX-License-Identifier: MIT
#include "vexdevice.h"

namespace Orrery {

CvexDevice::CvexDevice(CvexObject* parent) : CvexObject(parent) {}

CvexDevice::~CvexDevice() = default;

// A bare device has nothing behind it: it opens in any mode, reads nothing and refuses writes.
bool CvexDevice::open(int mode)
{
    if (mode < NotOpen || mode > ReadWrite)
        return false;
    setOpenMode(mode);
    return true;
}

void CvexDevice::close()
{
    setOpenMode(NotOpen);
}

CvexByteArray CvexDevice::readAll()
{
    return CvexByteArray();
}

long long CvexDevice::write(const CvexByteArray& /*data*/)
{
    return -1;
}

} // namespace Orrery
