// SPDX-License-Identifier: MIT
#include "simrunner.h"

#include "childprocess.h"
#include "simtest.h"
#include "vextestsupport.h"

#include <gtest/gtest.h>
#ifdef VEXPLC_HAVE_PCAP
#include "capturefile.h"
#endif

#include <atomic>
#include <csignal>
#include <stdexcept>
#include <thread>

namespace {

bool summaryHas(const vexsim::SimRunner& runner, const std::string& text)
{
    return runner.summary().find(text) != std::string::npos;
}

class Runner : public ::testing::Test {
protected:
    Runner()
    {
        options.bindPort = 0;
        options.hostPort = static_cast<uint16_t>(host.port());
        options.simulator.alarmInterval = std::chrono::milliseconds(0);
        options.simulator.version = 2;
    }
    // The next datagram of `type`, skipping others; empty when none comes in time.
    std::string receiveType(uint16_t type)
    {
        for (int i = 0; i < 50; ++i) {
            const std::string bytes = host.receive();
            if (bytes.empty() || simtest::wordAt(bytes, 4) == type)
                return bytes;
        }
        return std::string();
    }

    vextest::UdpSocket host;
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
    EXPECT_TRUE(summaryHas(runner, "plcsim: datagrams in 2: line status request 1, mold set pack "
                                   "1; out 2: line status 1, mold set ack 1;"))
        << runner.summary();
}

TEST_F(Runner, RaisedAlarmGoesToTheHostEndpointBeforeAnyContact)
{
    vexsim::SimRunner runner(options, vexsim::ItemTable());
    runner.raiseAlarm();
    ASSERT_EQ(receiveType(1004).size(), 20u);
    host.sendTo(runner.port(), host::alarmAnswer(1, 1000));
    EXPECT_TRUE(vextest::waitUntil([&] { return summaryHas(runner, "alarms answered 1/1"); }));
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
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(receiveType(1001).size(), 14u + 2 * 10) << "reply " << i;
    done = true;
    stepper.join();
}

TEST_F(Runner, SilencedRunSendsNothing)
{
    options.faults.silences.push_back({std::chrono::milliseconds(0), std::chrono::hours(1)});
    vexsim::SimRunner runner(options, vexsim::ItemTable());
    host.sendTo(runner.port(), host::lineStatus(2, 3000));
    ASSERT_TRUE(vextest::waitUntil([&] { return summaryHas(runner, "silenced 1"); }));
    EXPECT_TRUE(summaryHas(runner, "in 1: line status request 1; out 0;")) << runner.summary();
}

#ifdef VEXPLC_HAVE_PCAP
// Source port, destination port and UDP payload of every packet of a capture.
std::vector<std::string> capturedDatagrams(const std::string& path)
{
    std::vector<std::string> packets;
    for (const std::string& packet : simtest::readCapture(path).packets) {
        const auto port = [&packet](size_t at) {
            return std::to_string((static_cast<unsigned char>(packet[at]) << 8) |
                                  static_cast<unsigned char>(packet[at + 1]));
        };
        packets.push_back(port(20) + " > " + port(22) + ": " + vextest::hex(packet.substr(28)));
    }
    return packets;
}

TEST_F(Runner, CaptureHoldsEveryDatagramEachWayWithItsPorts)
{
    vextest::TempFolder folder;
    options.pcapPath = folder.path() + "/run.pcap";
    std::string plcPort;
    {
        vexsim::SimRunner runner(options, vexsim::ItemTable());
        plcPort = std::to_string(runner.port());
        host.sendTo(runner.port(), host::lineStatus(2, 3000, 9));
        ASSERT_FALSE(host.receive().empty());
    }
    const std::string hostPort = std::to_string(host.port());
    EXPECT_EQ(capturedDatagrams(options.pcapPath),
              (std::vector<std::string>{
                  hostPort + " > " + plcPort + ": " + vextest::hex(host::lineStatus(2, 3000, 9)),
                  plcPort + " > " + hostPort +
                      ": 88 55 14 00 EF 03 09 00 00 00 01 00 01 00 00 00 00 00 88 66"}));
}
#endif

TEST_F(Runner, PortInUseIsReported)
{
    vexsim::SimRunner first(options, vexsim::ItemTable());
    options.bindPort = first.port();
    EXPECT_EQ(simtest::errorOf<std::runtime_error>(
                  [&] { vexsim::SimRunner second(options, vexsim::ItemTable()); }),
              "cannot bind 127.0.0.1:" + std::to_string(first.port()) +
                  ": Address already in use (the PLC endpoint, --bind)");
}

TEST_F(Runner, LargeDurationKeepsThePlcRunning)
{
    const std::string port = std::to_string(vextest::freeUdpPorts(1)[0]);
    vextest::BackgroundProcess sim({PLCSIM_BINARY, "--bind", "127.0.0.1:" + port, "--host",
                                    "127.0.0.1:" + std::to_string(host.port()), "--duration",
                                    "1e10", "--alarm-interval", "0"});
    const std::string request =
        vextest::bytes("99 88 14 00 07 00 01 00 01 00 01 00 2C 01 00 00 05 00 88 66");
    std::string reply;
    // Requests before plcsim listens are lost; one answer shows that it runs.
    host.setReceiveTimeout(std::chrono::milliseconds(200));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (reply.empty() && std::chrono::steady_clock::now() < deadline) {
        host.sendTo(static_cast<unsigned int>(std::stoul(port)), request);
        reply = receiveType(1007);
    }
    EXPECT_FALSE(reply.empty());
    const vextest::ProcessResult result = sim.stop();
#ifndef _WIN32 // Windows ends the child outright, without a signal to answer
    EXPECT_EQ(result.exitCode, 128 + SIGTERM) << result.err;
    EXPECT_NE(result.out.find("plcsim: datagrams in "), std::string::npos) << result.err;
#endif
}

} // namespace
