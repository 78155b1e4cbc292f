// SPDX-License-Identifier: MIT
//
// Not part of the public API: the event loop behind CvexThread, shared with the network library
// so that sockets wait for readiness in the loop of their thread.
#ifndef VEXTHREAD_P_H
#define VEXTHREAD_P_H

#include "vexglobal.h"
#include "vexthread.h"

#include <asio/io_context.hpp>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace Orrery {

class CvexThreadPrivate {
public:
    explicit CvexThreadPrivate(CvexThread* q);

    static CvexThreadPrivate* get(CvexThread* thread) { return thread->d_ptr.get(); }
    void threadMain();
    bool isOwnThread() const;

    CvexThread* const q;
    // Shared: timers and sockets that belong to the thread keep the context alive for their
    // waits even when the thread object goes first.
    const std::shared_ptr<asio::io_context> context = std::make_shared<asio::io_context>();
    std::atomic<bool> quitRequested{false};
    std::atomic<int> returnCode{0};
    std::atomic<bool> running{false};
    std::atomic<bool> finished{false};

    // Guards the worker handle and the state changes that wait() watches.
    std::mutex mutex;
    std::condition_variable stopped;
    std::thread worker;
};

// The event loop of `thread`, null for no thread. Handlers posted to it run in that thread.
VEX_KERNEL_EXPORT std::shared_ptr<asio::io_context> vexEventContext(CvexThread* thread);

} // namespace Orrery

#endif // VEXTHREAD_P_H
