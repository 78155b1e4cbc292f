// SPDX-License-Identifier: MIT
#include "vexaddress.h"
#include "vexthread.h"
#include "vextimer.h"
#include "vexudp.h"

#include <vextestsupport.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

using Orrery::CvexAddress;
using Orrery::CvexObject;
using Orrery::CvexThread;
using Orrery::CvexTimer;
using Orrery::CvexUdp;

class CvexTimerTest : public testing::Test {
protected:
    void SetUp() override
    {
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

// A timer started before it is moved fires in its new thread; a second start on a running timer
// restarts it with the new period; a stop from a tick ends the ticks.
TEST_F(CvexTimerTest, FiresPeriodicallyInItsThreadUntilStopped)
{
    timer.start(1);
    EXPECT_TRUE(timer.isActive());
    EXPECT_EQ(ticks.load(), 0);
    timer.moveToThread(&worker);
    ASSERT_TRUE(vextest::waitUntil([this] { return ticks.load() >= 2; }));
    timer.start(60000);
    timer.start(2);
    EXPECT_EQ(timer.interval(), 2);
    const int ticksBefore = ticks.load();
    ASSERT_TRUE(vextest::waitUntil([&] { return ticks.load() >= ticksBefore + 3; }));
    EXPECT_EQ(seenThread.load(), &worker);

    CvexObject::connect(&timer, "timeOut", &timer, "stop", [this] { timer.stop(); });
    ASSERT_TRUE(vextest::waitUntil([this] { return !timer.isActive(); }));
    const int ticksAtStop = ticks.load();
    // Twenty periods pass without a tick.
    EXPECT_FALSE(vextest::waitUntil([&] { return ticks.load() != ticksAtStop; },
                                    std::chrono::milliseconds(40)));
}

// Period 0 ticks on every turn of the loop, yet datagrams are still delivered there.
TEST_F(CvexTimerTest, ZeroPeriodDoesNotStarveASocket)
{
    CvexUdp receiver;
    ASSERT_TRUE(receiver.bind(CvexAddress("127.0.0.1"), 0));
    std::atomic<int> datagrams{0};
    CvexObject::connect(&receiver, "readyRead", &receiver, "read", [&] {
        char byte = 0;
        while (receiver.readDatagram(&byte, 1) >= 0)
            ++datagrams;
    });
    timer.start(0);
    timer.moveToThread(&worker);
    receiver.moveToThread(&worker);
    ASSERT_TRUE(vextest::waitUntil([this] { return ticks.load() >= 100; }));

    CvexUdp sender;
    for (int i = 0; i < 3; ++i)
        sender.writeDatagram("x", 1, CvexAddress("127.0.0.1"), receiver.localPort());
    EXPECT_TRUE(vextest::waitUntil([&datagrams] { return datagrams.load() == 3; }));
    const int ticksBefore = ticks.load();
    EXPECT_TRUE(vextest::waitUntil([&] { return ticks.load() > ticksBefore; }));
    worker.quit();
    worker.wait();
}
