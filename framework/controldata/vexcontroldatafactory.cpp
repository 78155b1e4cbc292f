// SPDX-License-Identifier: MIT
#include "vexcontroldatafactory.h"
#include "vexmemorycontroldata.h"

#include <map>
#include <mutex>

namespace Orrery {

namespace {

// The logs are never destroyed: threads of the host may still write to them while the process
// ends, after the statics of this library are gone.
struct ControlDataRegistry {
    std::mutex mutex;
    std::map<int, CvexAbstractControlData*> logs;
};

ControlDataRegistry& registry()
{
    static auto* instance = new ControlDataRegistry;
    return *instance;
}

} // namespace

CvexControlDataFactory* CvexControlDataFactory::instance()
{
    static auto* factory = new CvexControlDataFactory;
    return factory;
}

CvexAbstractControlData* CvexControlDataFactory::get(int type)
{
    if (type < 0)
        return nullptr;
    ControlDataRegistry& all = registry();
    const std::lock_guard<std::mutex> lock(all.mutex);
    CvexAbstractControlData*& log = all.logs[type];
    if (!log)
        log = new CvexMemoryControlData;
    return log;
}

} // namespace Orrery
