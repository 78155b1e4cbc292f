// SPDX-License-Identifier: MIT
#include "simrunner.h"

#include "hostpackets.h"
#include "hostsocket.h"
#include "vextestsupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

namespace {

using hostpackets::HostSocket;
namespace host = hostpackets;

uint16_t typeOf(const std::string& bytes)
{
    uint16_t type = 0;
    vexsim::readU16(bytes, 4, type);
    return type;
}

class Runner : public ::testing::Test {
protected:
    Runner()
    {
        options.bindPort = 0;
        options.hostPort = host.port();
        options.simulator.alarmInterval = std::chrono::milliseconds(0);
        options.simulator.version = 2;
    }
    // The next datagram of `type`, skipping others; empty when none comes in time.
    std::string receiveType(uint16_t type)
    {
        for (int i = 0; i < 50; ++i) {
            const std::string bytes = host.receive();
            if (bytes.empty() || typeOf(bytes) == type)
                return bytes;
        }
        return std::string();
    }

    HostSocket host;
    vexsim::SimOptions options;
};

TEST_F(Runner, AnswersOverUdpAndCountsPerType)
{
    vexsim::SimRunner runner(options, vexsim::ItemTable());
    host.sendTo(runner.port(), host::lineStatus(2, 3000, 9));
    EXPECT_EQ(vextest::hex(host.receive()),
              "88 55 14 00 EF 03 09 00 00 00 01 00 01 00 00 00 00 00 88 66");
    host.sendTo(runner.port(), host::moldPack(2001, 2));
    EXPECT_EQ(vextest::hex(host.receive()), "88 55 0E 00 F1 03 00 00 00 00 02 00 88 66");
    const std::string summary = runner.summary();
    EXPECT_NE(summary.find("plcsim: datagrams in 2: line status request 1, mold set pack 1; out 2: "
                           "line status 1, mold set ack 1;"),
              std::string::npos)
        << summary;
}

TEST_F(Runner, RaisedAlarmGoesToTheHostEndpointBeforeAnyContact)
{
    vexsim::SimRunner runner(options, vexsim::ItemTable());
    runner.raiseAlarm();
    const std::string alarm = receiveType(1004);
    ASSERT_EQ(alarm.size(), 20u);
    host.sendTo(runner.port(), host::alarmAnswer(1, 1000));
    EXPECT_TRUE(vextest::waitUntil(
        [&] { return runner.summary().find("alarms answered 1/1") != std::string::npos; }));
}

TEST_F(Runner, SubscribedActualValuesKeepComing)
{
    vexsim::SimRunner runner(options, vexsim::ItemTable());
    std::atomic<bool> done{false};
    // The loop that plcsim's main runs.
    std::thread stepper([&] {
        while (!done) {
            runner.step();
            std::this_thread::sleep_until(runner.nextStep());
        }
    });
    host.sendTo(runner.port(), host::idList(1, {1001, 1002}, 20));
    for (int i = 0; i < 3; ++i) {
        const std::string reply = receiveType(1001);
        EXPECT_EQ(reply.size(), 14u + 2 * 10) << "reply " << i;
    }
    done = true;
    stepper.join();
}

TEST_F(Runner, SilencedRunSendsNothing)
{
    options.faults.silences.push_back({std::chrono::milliseconds(0), std::chrono::hours(1)});
    vexsim::SimRunner runner(options, vexsim::ItemTable());
    host.sendTo(runner.port(), host::lineStatus(2, 3000));
    ASSERT_TRUE(vextest::waitUntil(
        [&] { return runner.summary().find("silenced 1") != std::string::npos; }));
    EXPECT_NE(runner.summary().find("in 1: line status request 1; out 0;"), std::string::npos)
        << runner.summary();
}

TEST_F(Runner, PortInUseIsReported)
{
    vexsim::SimRunner first(options, vexsim::ItemTable());
    options.bindPort = first.port();
    try {
        vexsim::SimRunner second(options, vexsim::ItemTable());
        FAIL() << "a second runner bound the same port";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(std::string(error.what()),
                  "cannot bind 127.0.0.1:" + std::to_string(first.port()) +
                      ": Address already in use (the PLC endpoint, "
                      "--bind)");
    }
}

} // namespace
