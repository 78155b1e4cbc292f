// SPDX-License-Identifier: MIT
#include "vexobject.h"
#include "vexthread.h"

#include <vextestsupport.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

using Orrery::CvexObject;
using Orrery::CvexThread;

class CvexObjectSignals : public testing::Test {
protected:
    std::function<void()> record(const std::string& tag)
    {
        return [this, tag] { calls.push_back(tag); };
    }

    CvexObject sender;
    CvexObject receiver;
    std::vector<std::string> calls;
};

// The key is the signal without blanks and parentheses, the receiver and the slot.
TEST_F(CvexObjectSignals, ConnectionsAreKeyedBySignalReceiverAndSlot)
{
    CvexObject other;
    auto temporary = std::make_unique<CvexObject>();
    EXPECT_TRUE(CvexObject::connect(&sender, "timeOut()", &receiver, "slotA", record("replaced")));
    EXPECT_TRUE(CvexObject::connect(&sender, " time Out ( ) ", &receiver, "slotA", record("a")));
    CvexObject::connect(&sender, "timeOut", &receiver, "slotB", record("b"));
    CvexObject::connect(&sender, "timeOut", &other, "slotA", record("c"));
    CvexObject::connect(&sender, "readyRead", &receiver, "slotA", record("d"));
    CvexObject::connect(&sender, "timeOut", temporary.get(), "slotA", record("gone"));
    temporary.reset();
    EXPECT_EQ(sender.receivers("timeOut()"), 3);
    sender.emitSignal("timeOut()");
    EXPECT_EQ(calls, (std::vector<std::string>{"a", "b", "c"}));

    EXPECT_TRUE(CvexObject::disconnect(&sender, "timeOut()", &receiver, "slotA"));
    EXPECT_FALSE(CvexObject::disconnect(&sender, "timeOut", &receiver, "slotA"));
    calls.clear();
    sender.emitSignal("timeOut");
    EXPECT_EQ(calls, (std::vector<std::string>{"b", "c"}));

    EXPECT_FALSE(CvexObject::connect(nullptr, "tick", &receiver, "slot", record("x")));
    EXPECT_FALSE(CvexObject::connect(&sender, "tick", &receiver, "slot", nullptr));
    EXPECT_EQ(sender.receivers("tick"), 0);

    // A callable may delete the sender.
    auto* doomed = new CvexObject;
    CvexObject::connect(doomed, "timeOut", &receiver, "a", [doomed] { delete doomed; });
    CvexObject::connect(doomed, "timeOut", &receiver, "b", record("after"));
    calls.clear();
    doomed->emitSignal("timeOut");
    EXPECT_EQ(calls, (std::vector<std::string>{"after"}));
}

namespace {

// Counts how many of its kind are alive, to see who deletes whom.
class TrackedObject : public CvexObject {
public:
    explicit TrackedObject(CvexObject* parent = nullptr) : CvexObject(parent) { ++alive; }
    ~TrackedObject() override { --alive; }
    static int alive;
};
int TrackedObject::alive = 0;

} // namespace

TEST(CvexObjectTree, ParentDeletesTheChildrenStillAlive)
{
    auto* parent = new TrackedObject;
    auto* child = new TrackedObject(parent);
    new TrackedObject(child);
    // A child deleted first leaves its parent's list.
    delete new TrackedObject(parent);
    EXPECT_EQ(child->parent(), parent);
    EXPECT_EQ(TrackedObject::alive, 3);
    delete parent;
    EXPECT_EQ(TrackedObject::alive, 0);
}

class SignalDelivery : public testing::Test {
protected:
    void TearDown() override
    {
        worker.quit();
        worker.wait();
    }
    void countCalls(CvexObject* receiver)
    {
        CvexObject::connect(&sender, "ping", receiver, "slot", [this] {
            seenThread = CvexThread::currentThread();
            ++calls;
        });
    }

    CvexThread worker;
    CvexObject sender;
    std::atomic<CvexThread*> seenThread{nullptr};
    std::atomic<int> calls{0};
};

// Calls to a receiver of another thread queue until its loop runs and then run there; those for a
// receiver deleted meanwhile are skipped. A receiver without thread runs them in the emitting one.
TEST_F(SignalDelivery, CallableRunsInTheReceiversThreadOrInTheEmittingOne)
{
    CvexObject receiver;
    auto* child = new CvexObject(&receiver);
    auto deleted = std::make_unique<CvexObject>();
    receiver.moveToThread(&worker);
    deleted->moveToThread(&worker);
    EXPECT_EQ(receiver.thread(), &worker);
    EXPECT_EQ(child->thread(), &worker);
    countCalls(child);
    CvexObject::connect(&sender, "ping", deleted.get(), "slot", [this] { calls += 100; });
    sender.emitSignal("ping");
    sender.emitSignal("ping");
    deleted.reset();
    EXPECT_EQ(calls.load(), 0);
    worker.start();
    ASSERT_TRUE(vextest::waitUntil([this] { return calls.load() == 2; }));
    sender.emitSignal("ping");
    ASSERT_TRUE(vextest::waitUntil([this] { return calls.load() == 3; }));
    EXPECT_EQ(seenThread.load(), &worker);

    CvexObject loose;
    EXPECT_TRUE(CvexObject::disconnect(&sender, "ping", child, "slot"));
    countCalls(&loose);
    seenThread = nullptr;
    worker.post([this] { sender.emitSignal("ping"); });
    ASSERT_TRUE(vextest::waitUntil([this] { return calls.load() == 4; }));
    EXPECT_EQ(seenThread.load(), &worker);
}
