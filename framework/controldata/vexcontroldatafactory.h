// SPDX-License-Identifier: MIT
#ifndef VEXCONTROLDATAFACTORY_H
#define VEXCONTROLDATAFACTORY_H

#include "vexabstractcontroldata.h"
#include "vexglobal.h"
#include "vexnocopyable.h"

namespace Orrery {

// The process-wide access point to the control data: 0 alarms, 1 monitoring log, 2 curve log.
// One object per type, owned by the factory, living until the process ends. Thread-safe.
class VEX_CONTROLDATA_EXPORT CvexControlDataFactory : public CvexNoCopyable {
public:
    static CvexControlDataFactory* instance();
    // The same object on every call with the same type; null for a negative type.
    CvexAbstractControlData* get(int type);

private:
    CvexControlDataFactory() = default;
};

} // namespace Orrery

#endif // VEXCONTROLDATAFACTORY_H
