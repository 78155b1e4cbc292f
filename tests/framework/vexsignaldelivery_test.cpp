// SPDX-License-Identifier: MIT
#include "vexobject.h"
#include "vexthread.h"

#include <vextestsupport.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

using Orrery::CvexObject;
using Orrery::CvexThread;

class SignalDelivery : public testing::Test {
protected:
    void TearDown() override
    {
        worker.quit();
        worker.wait();
    }

    // Runs a marker through the worker's loop: everything posted before it has been handled.
    void drainWorker()
    {
        std::atomic<bool> reached{false};
        worker.post([&reached] { reached = true; });
        ASSERT_TRUE(vextest::waitUntil([&reached] { return reached.load(); }));
    }

    CvexThread worker;
    CvexObject sender;
    std::atomic<CvexThread*> seenThread{nullptr};
    std::atomic<int> calls{0};
};

TEST_F(SignalDelivery, CallableRunsInTheReceiversThread)
{
    CvexObject receiver;
    receiver.moveToThread(&worker);
    EXPECT_EQ(receiver.thread(), &worker);
    CvexObject::connect(&sender, "ping", &receiver, "slot", [this] {
        seenThread = CvexThread::currentThread();
        ++calls;
    });
    worker.start();
    sender.emitSignal("ping");
    ASSERT_TRUE(vextest::waitUntil([this] { return calls.load() == 1; }));
    EXPECT_EQ(seenThread.load(), &worker);
}

TEST_F(SignalDelivery, ReceiverWithoutThreadRunsInTheEmittingThread)
{
    CvexObject receiver;
    CvexObject::connect(&sender, "ping", &receiver, "slot", [this] {
        seenThread = CvexThread::currentThread();
        ++calls;
    });
    worker.start();
    worker.post([this] { sender.emitSignal("ping"); });
    ASSERT_TRUE(vextest::waitUntil([this] { return calls.load() == 1; }));
    EXPECT_EQ(seenThread.load(), &worker);
}

TEST_F(SignalDelivery, CallsQueueUntilTheLoopRuns)
{
    CvexObject receiver;
    receiver.moveToThread(&worker);
    CvexObject::connect(&sender, "ping", &receiver, "slot", [this] { ++calls; });
    sender.emitSignal("ping");
    sender.emitSignal("ping");
    EXPECT_EQ(calls.load(), 0);
    worker.start();
    drainWorker();
    EXPECT_EQ(calls.load(), 2);
}

TEST_F(SignalDelivery, ReceiverDeletedBeforeTheQueuedCallRunsIsSkipped)
{
    auto receiver = std::make_unique<CvexObject>();
    receiver->moveToThread(&worker);
    CvexObject::connect(&sender, "ping", receiver.get(), "slot", [this] { ++calls; });
    sender.emitSignal("ping");
    receiver.reset();
    worker.start();
    drainWorker();
    EXPECT_EQ(calls.load(), 0);
}

TEST_F(SignalDelivery, ChildrenMoveWithTheirParent)
{
    CvexObject parent;
    auto* child = new CvexObject(&parent);
    parent.moveToThread(&worker);
    EXPECT_EQ(child->thread(), &worker);
}

namespace {

// Creates an object in its run() and reports the object's thread.
class CreatingThread : public CvexThread {
public:
    std::atomic<CvexThread*> affinity{nullptr};
    std::atomic<bool> done{false};

protected:
    void run() override
    {
        CvexObject local;
        affinity = local.thread();
        done = true;
    }
};

} // namespace

TEST(SignalAffinity, ObjectCreatedInRunBelongsToThatThread)
{
    CreatingThread thread;
    EXPECT_EQ(thread.thread(), nullptr);
    thread.start();
    ASSERT_TRUE(thread.wait(5000));
    EXPECT_TRUE(thread.done.load());
    EXPECT_EQ(thread.affinity.load(), &thread);
}
