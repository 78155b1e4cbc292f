// SPDX-License-Identifier: MIT
#include "vexthread.h"
#include "vexplatform_p.h"
#include "vexthread_p.h"

#include <asio/executor_work_guard.hpp>
#include <asio/post.hpp>

#include <chrono>

namespace Orrery {

namespace {

thread_local CvexThread* runningThread = nullptr;

} // namespace

CvexThreadPrivate::CvexThreadPrivate(CvexThread* q) : q(q) {}

void CvexThreadPrivate::threadMain()
{
    runningThread = q;
    vexplatform::requestFineTimers();
    q->run();
    vexplatform::releaseFineTimers();
    runningThread = nullptr;
    // Notified under the lock: once a waiter sees the thread stopped it may delete the object,
    // and this thread touches nothing of it after the unlock.
    const std::lock_guard<std::mutex> lock(mutex);
    running.store(false);
    finished.store(true);
    stopped.notify_all();
}

bool CvexThreadPrivate::isOwnThread() const
{
    return runningThread == q;
}

std::shared_ptr<asio::io_context> vexEventContext(CvexThread* thread)
{
    return thread ? CvexThreadPrivate::get(thread)->context : nullptr;
}

CvexThread::CvexThread(CvexObject* parent)
    : CvexObject(parent), d_ptr(std::make_unique<CvexThreadPrivate>(this))
{
}

CvexThread::~CvexThread()
{
    quit();
    if (d_ptr->isOwnThread()) {
        // Deleted by its own run(): nobody is left to join the thread.
        const std::lock_guard<std::mutex> lock(d_ptr->mutex);
        d_ptr->worker.detach();
        return;
    }
    wait();
}

void CvexThread::start(Priority /*priority*/)
{
    CvexThreadPrivate& d = *d_ptr;
    const std::lock_guard<std::mutex> lock(d.mutex);
    if (d.running.load())
        return;
    // A finished run has released the lock for good, so joining it here cannot block.
    if (d.worker.joinable())
        d.worker.join();
    d.running.store(true);
    d.finished.store(false);
    d.worker = std::thread([&d] { d.threadMain(); });
}

int CvexThread::exec()
{
    CvexThreadPrivate& d = *d_ptr;
    d.context->restart();
    // A quit() between restart() and run() stops the context, so run() returns at once.
    if (!d.quitRequested.exchange(false)) {
        const auto work = asio::make_work_guard(*d.context);
        d.context->run();
        d.quitRequested.store(false);
    }
    return d.returnCode.exchange(0);
}

void CvexThread::quit()
{
    exit(0);
}

void CvexThread::exit(int returnCode)
{
    d_ptr->returnCode.store(returnCode);
    d_ptr->quitRequested.store(true);
    d_ptr->context->stop();
}

bool CvexThread::wait(long msecs)
{
    CvexThreadPrivate& d = *d_ptr;
    if (d.isOwnThread())
        return false;
    std::unique_lock<std::mutex> lock(d.mutex);
    const auto hasStopped = [&d] { return !d.running.load(); };
    if (msecs < 0)
        d.stopped.wait(lock, hasStopped);
    else if (!d.stopped.wait_for(lock, std::chrono::milliseconds(msecs), hasStopped))
        return false;
    if (d.worker.joinable())
        d.worker.join();
    return true;
}

bool CvexThread::isRunning() const
{
    return d_ptr->running.load();
}

bool CvexThread::isFinished() const
{
    return d_ptr->finished.load();
}

void CvexThread::post(std::function<void()> function)
{
    if (function)
        asio::post(*d_ptr->context, std::move(function));
}

CvexThread* CvexThread::currentThread()
{
    return runningThread;
}

void CvexThread::run()
{
    exec();
}

} // namespace Orrery
