// SPDX-License-Identifier: MIT
#ifndef VEXOBJECT_H
#define VEXOBJECT_H

#include "vexevent.h"
#include "vexglobal.h"
#include "vexnocopyable.h"

#include <functional>
#include <memory>
#include <string>

namespace Orrery {

class CvexThread;
class CvexObjectPrivate;

// An object with a parent, a thread affinity and named signals.
//
// Ownership: a parent deletes its remaining children when it is destroyed; an object deleted
// earlier leaves its parent's list. Thread affinity: an object belongs to the CvexThread whose
// run() created it, or to no thread at all when it was created elsewhere (the host's threads);
// moveToThread changes it. Callables connected to a signal run in the receiver's thread: directly
// when the signal is emitted there (or the receiver belongs to no thread), otherwise posted to that
// thread's event loop. connect, disconnect and emitSignal may be called from any thread.
class VEX_KERNEL_EXPORT CvexObject : public CvexNoCopyable {
public:
    explicit CvexObject(CvexObject* parent = nullptr);
    virtual ~CvexObject();

    virtual void setName(const std::string& name);
    virtual bool event(CvexEvent* event);
    virtual bool eventFilter(CvexObject* watched, CvexEvent* event);
    virtual void timerEvent(CvexTimerEvent* event);
    virtual void childEvent(CvexChildEvent* event);
    virtual void customEvent(CvexCustomEvent* event);
    virtual void dataSensorEvent(CvexDataSensorEvent* event);
    virtual long winProc(unsigned int message, unsigned short wParam, unsigned int lParam);
    virtual int vex_metacall(CvexMetaProperty::Call call, const char* name, void** args);

    std::string name() const;
    CvexObject* parent() const;

    CvexThread* thread() const;
    // Timers fire, sockets signal and connected callables run in `thread` from now on.
    void moveToThread(CvexThread* thread);

    // Connects `signal` of `sender` to `callable`, run on behalf of `receiver`. The key of a
    // connection is the signal name with every parenthesis and blank removed, the receiver and the
    // slot name: a second connection with the same key replaces the first.
    static bool connect(CvexObject* sender, const std::string& signal, CvexObject* receiver,
                        const std::string& slot, std::function<void()> callable);
    static bool disconnect(CvexObject* sender, const std::string& signal, CvexObject* receiver,
                           const std::string& slot);
    // How many connections `signal` of this object has.
    int receivers(const std::string& signal) const;

    // Runs every callable connected to `signal`, each in its receiver's thread.
    void emitSignal(const std::string& signal);

protected:
    // Called in the caller's thread of moveToThread after the affinity changed; timers and
    // sockets re-arm themselves in the new thread's event loop.
    virtual void threadChangeEvent(CvexThread* thread);
    // Called in the caller's thread of connect after a connection of `signal` (blanks and
    // parentheses removed) was made on this object as sender.
    virtual void connectNotify(const std::string& signal);

private:
    friend class CvexObjectPrivate;
    std::unique_ptr<CvexObjectPrivate> d_ptr;
};

} // namespace Orrery

#endif // VEXOBJECT_H
