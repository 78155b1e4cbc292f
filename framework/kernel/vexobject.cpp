// SPDX-License-Identifier: MIT
#include "vexobject.h"
#include "vexobject_p.h"
#include "vexthread.h"
#include "vexthread_p.h"

#include <asio/post.hpp>

#include <algorithm>

namespace Orrery {

namespace {

// One lock for every parent/child link: a link joins two objects that may live in different
// threads. Never destroyed, so objects may still be deleted while the process ends.
std::mutex& treeMutex()
{
    static auto* mutex = new std::mutex;
    return *mutex;
}

bool sameKey(const CvexConnection& connection, const std::string& signal,
             const CvexObject* receiver, const std::string& slot)
{
    return connection.signal == signal && connection.receiver == receiver &&
           connection.slot == slot;
}

bool isDead(const CvexConnection& connection)
{
    return connection.target && !connection.target->alive.load();
}

} // namespace

CvexObjectPrivate::CvexObjectPrivate(CvexObject* q) : q(q) {}

std::string CvexObjectPrivate::normalizedSignal(const std::string& signal)
{
    std::string key;
    for (const char c : signal) {
        if (c != '(' && c != ')' && c != ' ' && c != '\t')
            key += c;
    }
    return key;
}

void CvexObjectPrivate::invoke(CvexObjectAnchor& anchor, const std::function<void()>& callable)
{
    const std::lock_guard<std::recursive_mutex> lock(anchor.callMutex);
    if (anchor.alive)
        callable();
}

void CvexObjectPrivate::deliver(const CvexConnection& connection)
{
    if (!connection.target) {
        (*connection.callable)();
        return;
    }
    CvexThread* thread = nullptr;
    std::shared_ptr<asio::io_context> loop;
    {
        const std::lock_guard<std::mutex> lock(connection.target->affinityMutex);
        thread = connection.target->thread;
        loop = connection.target->loop.lock();
    }
    if (!thread || thread == CvexThread::currentThread()) {
        invoke(*connection.target, *connection.callable);
        return;
    }
    // The thread object is gone: its loop will never run, so the call has nowhere to go.
    if (!loop)
        return;
    asio::post(*loop, [target = connection.target, callable = connection.callable] {
        invoke(*target, *callable);
    });
}

void CvexObjectPrivate::setAffinity(CvexThread* thread)
{
    const std::lock_guard<std::mutex> lock(anchor->affinityMutex);
    anchor->thread = thread;
    anchor->loop = vexEventContext(thread);
}

void CvexObjectPrivate::addConnection(CvexConnection connection)
{
    const std::lock_guard<std::mutex> lock(mutex);
    dropDeadConnections();
    for (CvexConnection& existing : connections) {
        if (sameKey(existing, connection.signal, connection.receiver, connection.slot)) {
            existing = std::move(connection);
            return;
        }
    }
    connections.push_back(std::move(connection));
}

void CvexObjectPrivate::collectTree(std::vector<CvexObject*>& objects)
{
    objects.push_back(q);
    for (CvexObject* child : children)
        get(child)->collectTree(objects);
}

void CvexObjectPrivate::dropDeadConnections()
{
    connections.erase(std::remove_if(connections.begin(), connections.end(), isDead),
                      connections.end());
}

CvexObject::CvexObject(CvexObject* parent) : d_ptr(std::make_unique<CvexObjectPrivate>(this))
{
    d_ptr->setAffinity(CvexThread::currentThread());
    if (parent) {
        const std::lock_guard<std::mutex> lock(treeMutex());
        d_ptr->parent = parent;
        CvexObjectPrivate::get(parent)->children.push_back(this);
    }
}

CvexObject::~CvexObject()
{
    {
        // Waits for a call running on behalf of this object in another thread.
        const std::lock_guard<std::recursive_mutex> lock(d_ptr->anchor->callMutex);
        d_ptr->anchor->alive = false;
    }
    std::vector<CvexObject*> children;
    {
        const std::lock_guard<std::mutex> lock(treeMutex());
        children.swap(d_ptr->children);
        for (CvexObject* child : children)
            CvexObjectPrivate::get(child)->parent = nullptr;
        if (d_ptr->parent) {
            auto& siblings = CvexObjectPrivate::get(d_ptr->parent)->children;
            siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
            d_ptr->parent = nullptr;
        }
    }
    for (CvexObject* child : children)
        delete child;
}

void CvexObject::setName(const std::string& name)
{
    const std::lock_guard<std::mutex> lock(d_ptr->mutex);
    d_ptr->name = name;
}

std::string CvexObject::name() const
{
    const std::lock_guard<std::mutex> lock(d_ptr->mutex);
    return d_ptr->name;
}

// The stand-in posts no events of its own; the dispatch serves hosts that hand events on.
bool CvexObject::event(CvexEvent* event)
{
    if (!event)
        return false;
    if (auto* sensor = dynamic_cast<CvexDataSensorEvent*>(event)) {
        dataSensorEvent(sensor);
        return true;
    }
    if (auto* timer = dynamic_cast<CvexTimerEvent*>(event)) {
        timerEvent(timer);
        return true;
    }
    if (auto* child = dynamic_cast<CvexChildEvent*>(event)) {
        childEvent(child);
        return true;
    }
    if (auto* custom = dynamic_cast<CvexCustomEvent*>(event)) {
        customEvent(custom);
        return true;
    }
    return false;
}

bool CvexObject::eventFilter(CvexObject* /*watched*/, CvexEvent* /*event*/)
{
    return false;
}

void CvexObject::timerEvent(CvexTimerEvent* /*event*/) {}

void CvexObject::childEvent(CvexChildEvent* /*event*/) {}

void CvexObject::customEvent(CvexCustomEvent* /*event*/) {}

void CvexObject::dataSensorEvent(CvexDataSensorEvent* /*event*/) {}

long CvexObject::winProc(unsigned int /*message*/, unsigned short /*wParam*/,
                         unsigned int /*lParam*/)
{
    return 0;
}

int CvexObject::vex_metacall(CvexMetaProperty::Call /*call*/, const char* /*name*/, void** /*args*/)
{
    return -1;
}

CvexObject* CvexObject::parent() const
{
    const std::lock_guard<std::mutex> lock(treeMutex());
    return d_ptr->parent;
}

CvexThread* CvexObject::thread() const
{
    const std::lock_guard<std::mutex> lock(d_ptr->anchor->affinityMutex);
    return d_ptr->anchor->thread;
}

// Children move with their parent, so that an object and what it owns share one thread.
void CvexObject::moveToThread(CvexThread* thread)
{
    std::vector<CvexObject*> objects;
    {
        const std::lock_guard<std::mutex> lock(treeMutex());
        d_ptr->collectTree(objects);
    }
    for (CvexObject* object : objects)
        CvexObjectPrivate::get(object)->setAffinity(thread);
    for (CvexObject* object : objects)
        object->threadChangeEvent(thread);
}

bool CvexObject::connect(CvexObject* sender, const std::string& signal, CvexObject* receiver,
                         const std::string& slot, std::function<void()> callable)
{
    if (!sender || !callable)
        return false;
    CvexConnection connection;
    connection.signal = CvexObjectPrivate::normalizedSignal(signal);
    connection.receiver = receiver;
    connection.slot = slot;
    connection.callable = std::make_shared<const std::function<void()>>(std::move(callable));
    if (receiver)
        connection.target = CvexObjectPrivate::get(receiver)->anchor;

    const std::string key = connection.signal;
    CvexObjectPrivate::get(sender)->addConnection(std::move(connection));
    sender->connectNotify(key);
    return true;
}

bool CvexObject::disconnect(CvexObject* sender, const std::string& signal, CvexObject* receiver,
                            const std::string& slot)
{
    if (!sender)
        return false;
    const std::string key = CvexObjectPrivate::normalizedSignal(signal);
    CvexObjectPrivate& d = *CvexObjectPrivate::get(sender);
    const std::lock_guard<std::mutex> lock(d.mutex);
    const auto matches = [&](const CvexConnection& c) { return sameKey(c, key, receiver, slot); };
    const auto end = std::remove_if(d.connections.begin(), d.connections.end(), matches);
    const bool found = end != d.connections.end();
    d.connections.erase(end, d.connections.end());
    return found;
}

int CvexObject::receivers(const std::string& signal) const
{
    const std::string key = CvexObjectPrivate::normalizedSignal(signal);
    const std::lock_guard<std::mutex> lock(d_ptr->mutex);
    d_ptr->dropDeadConnections();
    return static_cast<int>(
        std::count_if(d_ptr->connections.begin(), d_ptr->connections.end(),
                      [&](const CvexConnection& c) { return c.signal == key; }));
}

void CvexObject::emitSignal(const std::string& signal)
{
    const std::string key = CvexObjectPrivate::normalizedSignal(signal);
    std::vector<CvexConnection> targets;
    {
        const std::lock_guard<std::mutex> lock(d_ptr->mutex);
        for (const CvexConnection& connection : d_ptr->connections) {
            if (connection.signal == key)
                targets.push_back(connection);
        }
    }
    // A callable may delete the sender: nothing below touches this object any more.
    for (const CvexConnection& connection : targets)
        CvexObjectPrivate::deliver(connection);
}

void CvexObject::threadChangeEvent(CvexThread* /*thread*/) {}

void CvexObject::connectNotify(const std::string& /*signal*/) {}

} // namespace Orrery
