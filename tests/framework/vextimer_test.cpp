// SPDX-License-Identifier: MIT
#include "vexaddress.h"
#include "vexthread.h"
#include "vextimer.h"
#include "vexudp.h"

#include <vextestsupport.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using Orrery::CvexAddress;
using Orrery::CvexObject;
using Orrery::CvexThread;
using Orrery::CvexTimer;
using Orrery::CvexUdp;

class CvexTimerTest : public testing::Test {
protected:
    void SetUp() override
    {
        timer.moveToThread(&worker);
        CvexObject::connect(&timer, "timeOut", &timer, "count", [this] {
            seenThread = CvexThread::currentThread();
            ++ticks;
        });
        worker.start();
    }
    void TearDown() override
    {
        worker.quit();
        worker.wait();
    }

    CvexThread worker;
    CvexTimer timer;
    std::atomic<int> ticks{0};
    std::atomic<CvexThread*> seenThread{nullptr};
};

TEST_F(CvexTimerTest, FiresPeriodicallyInItsThread)
{
    timer.start(2);
    EXPECT_TRUE(timer.isActive());
    EXPECT_EQ(timer.interval(), 2);
    ASSERT_TRUE(vextest::waitUntil([this] { return ticks.load() >= 3; }));
    EXPECT_EQ(seenThread.load(), &worker);
}

TEST_F(CvexTimerTest, StartOnARunningTimerRestartsWithTheNewPeriod)
{
    timer.start(60000);
    timer.start(3);
    EXPECT_EQ(timer.interval(), 3);
    EXPECT_TRUE(vextest::waitUntil([this] { return ticks.load() >= 2; }));
}

TEST_F(CvexTimerTest, StopEndsTheTicks)
{
    CvexObject::connect(&timer, "timeOut", &timer, "stopAtThree", [this] {
        if (ticks.load() >= 3)
            timer.stop();
    });
    timer.start(1);
    ASSERT_TRUE(vextest::waitUntil([this] { return !timer.isActive(); }));
    const int ticksAtStop = ticks.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(ticks.load(), ticksAtStop);
}

TEST(CvexTimer, StartedBeforeTheMoveFiresOnceMoved)
{
    CvexThread worker;
    worker.start();
    CvexTimer timer;
    std::atomic<int> ticks{0};
    CvexObject::connect(&timer, "timeOut", &timer, "count", [&ticks] { ++ticks; });
    timer.start(1);
    EXPECT_TRUE(timer.isActive());
    EXPECT_EQ(ticks.load(), 0);
    timer.moveToThread(&worker);
    EXPECT_TRUE(vextest::waitUntil([&ticks] { return ticks.load() >= 2; }));
    worker.quit();
    worker.wait();
}

// Period 0 ticks on every turn of the loop, yet datagrams are still delivered there.
TEST(CvexTimer, ZeroPeriodDoesNotStarveASocket)
{
    CvexThread worker;
    CvexTimer timer;
    CvexUdp receiver;
    ASSERT_TRUE(receiver.bind(CvexAddress("127.0.0.1"), 0));
    std::atomic<int> ticks{0};
    std::atomic<int> datagrams{0};
    CvexObject::connect(&timer, "timeOut", &timer, "count", [&ticks] { ++ticks; });
    CvexObject::connect(&receiver, "readyRead", &receiver, "read", [&] {
        char byte = 0;
        while (receiver.readDatagram(&byte, 1) >= 0)
            ++datagrams;
    });
    timer.start(0);
    timer.moveToThread(&worker);
    receiver.moveToThread(&worker);
    worker.start();
    ASSERT_TRUE(vextest::waitUntil([&ticks] { return ticks.load() >= 100; }));

    CvexUdp sender;
    for (int i = 0; i < 3; ++i)
        sender.writeDatagram("x", 1, CvexAddress("127.0.0.1"), receiver.localPort());
    EXPECT_TRUE(vextest::waitUntil([&datagrams] { return datagrams.load() == 3; }));
    const int ticksBefore = ticks.load();
    EXPECT_TRUE(vextest::waitUntil([&] { return ticks.load() > ticksBefore; }));
    worker.quit();
    worker.wait();
}
