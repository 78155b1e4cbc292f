// SPDX-License-Identifier: MIT
#include "vexobject.h"
#include "vexthread.h"

#include <vextestsupport.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using Orrery::CvexThread;

namespace {

// A thread whose run() may be held at a gate before it enters the event loop, and that counts
// its runs and keeps what exec() returned and the thread of an object it created.
class GatedThread : public CvexThread {
public:
    std::atomic<bool> gateOpen{true};
    std::atomic<bool> atGate{false};
    std::atomic<int> runs{0};
    std::atomic<int> execResult{-1};
    std::atomic<CvexThread*> current{nullptr};
    std::atomic<CvexThread*> createdIn{nullptr};

protected:
    void run() override
    {
        ++runs;
        current = currentThread();
        createdIn = Orrery::CvexObject().thread();
        atGate = true;
        while (!gateOpen.load())
            std::this_thread::yield();
        execResult = exec();
    }
};

} // namespace

TEST(CvexThread, QuitBeforeExecMakesExecReturnAtOnce)
{
    GatedThread thread;
    EXPECT_FALSE(thread.isRunning());
    EXPECT_FALSE(thread.isFinished());
    EXPECT_TRUE(thread.wait(0));
    thread.gateOpen = false;
    thread.start();
    ASSERT_TRUE(vextest::waitUntil([&] { return thread.atGate.load(); }));
    thread.exit(4);
    thread.gateOpen = true;
    EXPECT_TRUE(thread.wait(5000));
    EXPECT_EQ(thread.execResult.load(), 4);
    EXPECT_TRUE(thread.isFinished());
    EXPECT_FALSE(thread.isRunning());
}

TEST(CvexThread, ExecRunsPostedWorkUntilQuitAndStartsOnlyWhenNotRunning)
{
    GatedThread thread;
    EXPECT_EQ(thread.thread(), nullptr);
    std::atomic<CvexThread*> seen{nullptr};
    thread.post([&seen] { seen = CvexThread::currentThread(); });
    thread.start();
    thread.start(CvexThread::HighestPriority);
    ASSERT_TRUE(vextest::waitUntil([&] { return seen.load() != nullptr; }));
    EXPECT_EQ(seen.load(), &thread);
    EXPECT_EQ(thread.current.load(), &thread);
    // An object belongs to the thread whose run() created it, or to none outside any.
    EXPECT_EQ(thread.createdIn.load(), &thread);
    EXPECT_EQ(Orrery::CvexObject().thread(), nullptr);
    EXPECT_TRUE(thread.isRunning());
    EXPECT_FALSE(thread.wait(1));
    thread.quit();
    ASSERT_TRUE(thread.wait(5000));
    EXPECT_EQ(thread.execResult.load(), 0);
    EXPECT_EQ(thread.runs.load(), 1);
    EXPECT_EQ(CvexThread::currentThread(), nullptr);

    thread.start();
    ASSERT_TRUE(vextest::waitUntil([&] { return thread.runs.load() == 2; }));
    EXPECT_FALSE(thread.isFinished());
    thread.quit();
    EXPECT_TRUE(thread.wait(5000));
}

// The destructor quits the running loop and joins the thread; a failure hangs here.
TEST(CvexThread, DestructorStopsTheLoop)
{
    std::atomic<bool> ran{false};
    CvexThread thread;
    thread.start();
    thread.post([&ran] { ran = true; });
    EXPECT_TRUE(vextest::waitUntil([&ran] { return ran.load(); }));
}
