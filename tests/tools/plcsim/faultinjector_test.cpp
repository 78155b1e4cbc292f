// SPDX-License-Identifier: MIT
#include "faultinjector.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using vexsim::FaultInjector;
using vexsim::FaultOptions;
using Clock = FaultInjector::Clock;

const Clock::time_point kStart = Clock::time_point() + 1h;

// Sends `count` numbered datagrams 10 ms apart and records what goes out, and when.
std::vector<std::string> run(const FaultOptions& options, int count = 200)
{
    FaultInjector faults(options, kStart);
    std::vector<std::string> sent;
    Clock::time_point now = kStart;
    for (int i = 0; i < count; ++i, now += 10ms) {
        faults.submit(std::to_string(i), now);
        for (const std::string& bytes : faults.takeDue(now))
            sent.push_back(bytes + "@" + std::to_string((now - kStart) / 1ms));
    }
    for (const std::string& bytes : faults.takeDue(now + 1h))
        sent.push_back(bytes + "@end");
    return sent;
}

FaultOptions everything(uint32_t seed)
{
    FaultOptions options;
    options.loss = 0.2;
    options.duplicate = 0.1;
    options.reorder = 0.1;
    options.delay = 20ms;
    options.jitter = 30ms;
    options.seed = seed;
    return options;
}

TEST(FaultInjector, SameSeedRepeatsTheRunExactly)
{
    const auto first = run(everything(7));
    EXPECT_EQ(first, run(everything(7)));
    EXPECT_NE(first, run(everything(8)));
}

TEST(FaultInjector, LossDuplicatesAndReorderingHappenAtAboutTheirRates)
{
    FaultInjector faults(everything(3), kStart);
    for (int i = 0; i < 2000; ++i)
        faults.submit("x", kStart);
    const auto& counters = faults.counters();
    EXPECT_NEAR(static_cast<double>(counters.dropped), 400, 80);
    EXPECT_NEAR(static_cast<double>(counters.duplicated), 160, 50);
    EXPECT_NEAR(static_cast<double>(counters.reordered), 160, 50);
}

TEST(FaultInjector, WithoutFaultsEverythingGoesOutAtOnceInOrder)
{
    EXPECT_EQ(run(FaultOptions(), 3), (std::vector<std::string>{"0@0", "1@10", "2@20"}));
}

TEST(FaultInjector, DelayedOrHeldDatagramLeavesExactlyWhenDue)
{
    FaultOptions delayed;
    delayed.delay = 25ms;
    FaultOptions held; // held for a later one to overtake, which never comes
    held.reorder = 1;
    for (const auto& [options, hold] :
         {std::pair{delayed, Clock::duration(25ms)},
          std::pair{held, Clock::duration(FaultInjector::kReorderHold)}}) {
        SCOPED_TRACE(hold.count());
        FaultInjector faults(options, kStart);
        faults.submit("a", kStart);
        EXPECT_TRUE(faults.takeDue(kStart + hold - 1ms).empty());
        EXPECT_EQ(faults.nextDue(), kStart + hold);
        EXPECT_EQ(faults.takeDue(kStart + hold), std::vector<std::string>{"a"});
        EXPECT_FALSE(faults.nextDue().has_value());
    }
}

TEST(FaultInjector, ReorderedDatagramLeavesRightAfterTheOneThatOvertookIt)
{
    FaultOptions options;
    options.reorder = 0.3;
    options.seed = 11;
    const auto sent = run(options, 100);
    ASSERT_EQ(sent.size(), 100u) << "reordering loses nothing";
    int overtaken = 0;
    for (size_t i = 1; i < sent.size(); ++i) {
        if (std::stoi(sent[i]) > std::stoi(sent[i - 1]))
            continue;
        ++overtaken;
        // Sent in the same step as the datagram before it, which is a later one.
        EXPECT_EQ(sent[i].substr(sent[i].find('@')), sent[i - 1].substr(sent[i - 1].find('@')))
            << sent[i];
    }
    EXPECT_GT(overtaken, 10);
}

TEST(FaultInjector, SilenceDropsEverythingInsideItsWindow)
{
    FaultOptions options;
    options.silences.push_back({100ms, 50ms});
    std::vector<std::string> expected;
    for (int i = 0; i < 20; ++i) {
        if (i < 10 || i >= 15)
            expected.push_back(std::to_string(i) + "@" + std::to_string(i * 10));
    }
    EXPECT_EQ(run(options, 20), expected);
}

} // namespace
