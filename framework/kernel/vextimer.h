// SPDX-License-Identifier: MIT
#ifndef VEXTIMER_H
#define VEXTIMER_H

#include "vexglobal.h"
#include "vexobject.h"

#include <memory>

namespace Orrery {

class CvexTimerPrivate;

// A periodic timer that emits "timeOut" in its thread's event loop.
//
// The timer runs only while it belongs to a thread whose event loop runs; started before
// moveToThread, it begins firing once moved. start() on a running timer restarts it with the new
// period; a period of 0 fires on every turn of the loop without starving other work there.
// start and stop may be called from any thread.
class VEX_KERNEL_EXPORT CvexTimer : public CvexObject {
public:
    explicit CvexTimer(CvexObject* parent = nullptr);
    ~CvexTimer() override;

    void start(int msec);
    void start();
    void stop();
    bool isActive() const;
    int interval() const;

protected:
    void threadChangeEvent(CvexThread* thread) override;

private:
    std::shared_ptr<CvexTimerPrivate> d_ptr;
};

} // namespace Orrery

#endif // VEXTIMER_H
