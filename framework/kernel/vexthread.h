// SPDX-License-Identifier: MIT
#ifndef VEXTHREAD_H
#define VEXTHREAD_H

#include "vexglobal.h"
#include "vexobject.h"

#include <functional>
#include <memory>

namespace Orrery {

class CvexThreadPrivate;

// A thread of execution with an event loop of its own.
//
// start() runs run() in a new thread; the default run() runs the event loop with exec() until
// quit(). quit() before exec() makes the next exec() return at once. The object itself belongs to
// the thread that created it, not to the thread it starts. Its destructor quits the event loop and
// waits for the thread; a subclass whose run() does more than exec() must end it before that.
// start, quit, wait, isRunning, isFinished and post may be called from any thread.
class VEX_KERNEL_EXPORT CvexThread : public CvexObject {
public:
    enum Priority {
        IdlePriority,
        LowestPriority,
        LowPriority,
        NormalPriority,
        HighPriority,
        HighestPriority,
        TimeCriticalPriority,
        InheritPriority
    };

    explicit CvexThread(CvexObject* parent = nullptr);
    ~CvexThread() override;

    // Ignored while the thread runs.
    void start(Priority priority = InheritPriority);
    // Runs the event loop until quit(); returns the code given to exit().
    int exec();
    void quit();
    void exit(int returnCode = 0);
    // Waits until run() has returned; false when `msecs` passed first (negative: no limit).
    bool wait(long msecs = -1);
    bool isRunning() const;
    bool isFinished() const;

    // Runs `function` in this thread's event loop (queued until the loop runs).
    void post(std::function<void()> function);

    // The CvexThread whose run() is executing in the calling thread, or null.
    static CvexThread* currentThread();

protected:
    virtual void run();

private:
    friend class CvexThreadPrivate;
    std::unique_ptr<CvexThreadPrivate> d_ptr;
};

} // namespace Orrery

#endif // VEXTHREAD_H
