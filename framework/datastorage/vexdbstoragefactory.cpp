// SPDX-License-Identifier: MIT
#include "vexdbstoragefactory.h"
#include "vexmemorydatastorage.h"

#include <map>
#include <mutex>

namespace Orrery {

namespace {

// The storages are never destroyed: threads of the host may still use them while the process
// ends, after the statics of this library are gone.
struct StorageRegistry {
    std::mutex mutex;
    std::map<int, CvexAbstractDataStorage*> storages;
};

StorageRegistry& registry()
{
    static auto* instance = new StorageRegistry;
    return *instance;
}

} // namespace

CvexDBStorageFactory* CvexDBStorageFactory::instance()
{
    static auto* factory = new CvexDBStorageFactory;
    return factory;
}

CvexAbstractDataStorage* CvexDBStorageFactory::get(int type)
{
    if (type < 0)
        return nullptr;
    StorageRegistry& all = registry();
    const std::lock_guard<std::mutex> lock(all.mutex);
    CvexAbstractDataStorage*& storage = all.storages[type];
    if (!storage)
        storage = new CvexMemoryDataStorage;
    return storage;
}

} // namespace Orrery
