// SPDX-License-Identifier: MIT
#ifndef VEXDBSTORAGEFACTORY_H
#define VEXDBSTORAGEFACTORY_H

#include "vexabstractdatastorage.h"
#include "vexglobal.h"
#include "vexnocopyable.h"

namespace Orrery {

// The process-wide access point to the data storages, one per data operator type (the library
// uses type 2). The factory owns the storages; they live until the process ends. Thread-safe.
class VEX_DATASTORAGE_EXPORT CvexDBStorageFactory : public CvexNoCopyable {
public:
    static CvexDBStorageFactory* instance();
    // The same object on every call with the same type; null for a negative type.
    CvexAbstractDataStorage* get(int type);

private:
    CvexDBStorageFactory() = default;
};

} // namespace Orrery

#endif // VEXDBSTORAGEFACTORY_H
