// SPDX-License-Identifier: MIT
#include "vexobject.h"
#include "vexthread.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using Orrery::CvexObject;

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

TEST_F(CvexObjectSignals, SameKeyReplacesTheConnection)
{
    EXPECT_TRUE(CvexObject::connect(&sender, "readyRead()", &receiver, "slot", record("first")));
    EXPECT_TRUE(CvexObject::connect(&sender, "readyRead", &receiver, "slot", record("second")));
    EXPECT_EQ(sender.receivers("readyRead"), 1);
    sender.emitSignal("readyRead");
    EXPECT_EQ(calls, (std::vector<std::string>{"second"}));
}

TEST_F(CvexObjectSignals, BlanksAndParenthesesDoNotCount)
{
    CvexObject::connect(&sender, " time Out ( ) ", &receiver, "slot", record("a"));
    EXPECT_EQ(sender.receivers("timeOut()"), 1);
    sender.emitSignal("timeOut");
    EXPECT_EQ(calls, (std::vector<std::string>{"a"}));
}

TEST_F(CvexObjectSignals, OtherSlotOrReceiverAddsAConnection)
{
    CvexObject other;
    CvexObject::connect(&sender, "timeOut", &receiver, "slotA", record("a"));
    CvexObject::connect(&sender, "timeOut", &receiver, "slotB", record("b"));
    CvexObject::connect(&sender, "timeOut", &other, "slotA", record("c"));
    CvexObject::connect(&sender, "readyRead", &receiver, "slotA", record("d"));
    EXPECT_EQ(sender.receivers("timeOut"), 3);
    sender.emitSignal("timeOut()");
    EXPECT_EQ(calls, (std::vector<std::string>{"a", "b", "c"}));
}

TEST_F(CvexObjectSignals, DisconnectRemovesOnlyThatKey)
{
    CvexObject::connect(&sender, "timeOut", &receiver, "slotA", record("a"));
    CvexObject::connect(&sender, "timeOut", &receiver, "slotB", record("b"));
    EXPECT_TRUE(CvexObject::disconnect(&sender, "timeOut()", &receiver, "slotA"));
    EXPECT_FALSE(CvexObject::disconnect(&sender, "timeOut", &receiver, "slotA"));
    sender.emitSignal("timeOut");
    EXPECT_EQ(calls, (std::vector<std::string>{"b"}));
}

TEST_F(CvexObjectSignals, RefusesConnectionsWithoutSenderOrCallable)
{
    EXPECT_FALSE(CvexObject::connect(nullptr, "timeOut", &receiver, "slot", record("a")));
    EXPECT_FALSE(CvexObject::connect(&sender, "timeOut", &receiver, "slot", nullptr));
    EXPECT_EQ(sender.receivers("timeOut"), 0);
}

TEST_F(CvexObjectSignals, DeletedReceiverIsNoLongerCalled)
{
    auto temporary = std::make_unique<CvexObject>();
    CvexObject::connect(&sender, "timeOut", temporary.get(), "slot", record("gone"));
    temporary.reset();
    sender.emitSignal("timeOut");
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(sender.receivers("timeOut"), 0);
}

TEST_F(CvexObjectSignals, CallableMayDeleteTheSender)
{
    auto* doomed = new CvexObject;
    CvexObject::connect(doomed, "timeOut", &receiver, "a", [doomed] { delete doomed; });
    CvexObject::connect(doomed, "timeOut", &receiver, "b", record("after"));
    doomed->emitSignal("timeOut");
    EXPECT_EQ(calls, (std::vector<std::string>{"after"}));
}

TEST(CvexObjectTree, ParentDeletesItsChildren)
{
    TrackedObject::alive = 0;
    auto* parent = new TrackedObject;
    auto* child = new TrackedObject(parent);
    new TrackedObject(child);
    EXPECT_EQ(child->parent(), parent);
    EXPECT_EQ(TrackedObject::alive, 3);
    delete parent;
    EXPECT_EQ(TrackedObject::alive, 0);
}

TEST(CvexObjectTree, ChildDeletedFirstLeavesItsParent)
{
    TrackedObject::alive = 0;
    auto parent = std::make_unique<TrackedObject>();
    delete new TrackedObject(parent.get());
    auto* kept = new TrackedObject(parent.get());
    EXPECT_EQ(TrackedObject::alive, 2);
    EXPECT_EQ(kept->parent(), parent.get());
    parent.reset();
    EXPECT_EQ(TrackedObject::alive, 0);
}

TEST(CvexObject, CreatedOutsideAnyThreadBelongsToNone)
{
    CvexObject object;
    EXPECT_EQ(object.thread(), nullptr);
    EXPECT_EQ(Orrery::CvexThread::currentThread(), nullptr);
}
