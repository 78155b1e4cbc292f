// SPDX-License-Identifier: MIT
//
// Not part of the public API: the private data of CvexObject.
#ifndef VEXOBJECT_P_H
#define VEXOBJECT_P_H

#include "vexobject.h"

#include <asio/io_context.hpp>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace Orrery {

// The part of an object that outlives it for as long as a connection or a queued call refers to
// it: whether it still lives, and the event loop its calls go to.
struct CvexObjectAnchor {
    // Held while a connected callable runs on behalf of the object, so that its destruction in
    // another thread waits for the call to end.
    std::recursive_mutex callMutex;
    // Cleared under callMutex; read without it where only stale connections are pruned.
    std::atomic<bool> alive{true};

    std::mutex affinityMutex;
    CvexThread* thread = nullptr;
    std::weak_ptr<asio::io_context> loop;
};

struct CvexConnection {
    std::string signal;
    const CvexObject* receiver = nullptr;
    std::string slot;
    std::shared_ptr<const std::function<void()>> callable;
    // Null when the connection has no receiver: the callable then runs in the emitting thread.
    std::shared_ptr<CvexObjectAnchor> target;
};

class CvexObjectPrivate {
public:
    explicit CvexObjectPrivate(CvexObject* q);

    static CvexObjectPrivate* get(CvexObject* object) { return object->d_ptr.get(); }
    static std::string normalizedSignal(const std::string& signal);
    static void deliver(const CvexConnection& connection);
    static void invoke(CvexObjectAnchor& anchor, const std::function<void()>& callable);

    void setAffinity(CvexThread* thread);
    // Adds the connection, or replaces the one with the same key.
    void addConnection(CvexConnection connection);
    void collectTree(std::vector<CvexObject*>& objects);
    void dropDeadConnections();

    CvexObject* const q;
    const std::shared_ptr<CvexObjectAnchor> anchor = std::make_shared<CvexObjectAnchor>();

    // Guards the name and the connections.
    mutable std::mutex mutex;
    std::string name;
    std::vector<CvexConnection> connections;

    // Guarded by the process-wide tree lock.
    CvexObject* parent = nullptr;
    std::vector<CvexObject*> children;
};

} // namespace Orrery

#endif // VEXOBJECT_P_H
