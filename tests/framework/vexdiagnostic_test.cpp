// SPDX-License-Identifier: MIT
#include "vexdiagnostic.h"

#include <vextestsupport.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using Orrery::CvexDiagnostic;

TEST(CvexDiagnostic, WritesOneLinePerObject)
{
    vextest::StdoutCapture capture;
    const std::uint8_t code = 200;
    CvexDiagnostic() << "CvexPlcCommon::receiveData: Can't Find Protocol (Type: " << 65535 << " )";
    CvexDiagnostic() << "byte " << static_cast<unsigned>(code);
    CvexDiagnostic::write("plain");
    EXPECT_EQ(capture.lines(), (std::vector<std::string>{
                                   "CvexPlcCommon::receiveData: Can't Find Protocol (Type: 65535 )",
                                   "byte 200", "plain"}));
}

TEST(CvexDiagnostic, LinesOfThreadsNeverInterleave)
{
    vextest::StdoutCapture capture;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 50; ++i)
                CvexDiagnostic() << "thread " << t << " line " << i << " end";
        });
    }
    for (auto& thread : threads)
        thread.join();
    const auto lines = capture.lines();
    ASSERT_EQ(lines.size(), 200u);
    for (int t = 0; t < 4; ++t) {
        for (int i = 0; i < 50; ++i) {
            const std::string line =
                "thread " + std::to_string(t) + " line " + std::to_string(i) + " end";
            EXPECT_EQ(capture.count(line), 1) << line;
        }
    }
}

namespace {

// Collects the lines a sink receives; the sink is called one line at a time, so no lock is needed
// for the writes, only for the test's reads after the writers joined.
struct SinkLines {
    std::vector<std::string> lines;
    CvexDiagnostic::Sink sink()
    {
        return [this](const std::string& line) { lines.push_back(line); };
    }
};

// Restores the default output even when an assertion leaves the test early.
struct SinkGuard {
    ~SinkGuard() { CvexDiagnostic::setSink(nullptr); }
};

} // namespace

TEST(CvexDiagnosticSink, TakesEveryLineOfSeveralThreadsOnceThenRestoringBringsBackStdout)
{
    vextest::StdoutCapture capture;
    SinkLines received;
    {
        SinkGuard guard;
        CvexDiagnostic::setSink(received.sink());
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([t] {
                for (int i = 0; i < 100; ++i)
                    CvexDiagnostic() << "thread " << t << " line " << i;
            });
        }
        for (auto& thread : threads)
            thread.join();
    }
    CvexDiagnostic() << "after restore";

    ASSERT_EQ(received.lines.size(), 400u);
    std::vector<std::string> expected;
    for (int t = 0; t < 4; ++t)
        for (int i = 0; i < 100; ++i)
            expected.push_back("thread " + std::to_string(t) + " line " + std::to_string(i));
    auto sorted = received.lines;
    std::sort(sorted.begin(), sorted.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(sorted, expected);
    EXPECT_EQ(capture.lines(), std::vector<std::string>{"after restore"});
}

TEST(CvexDiagnosticSink, SettingItWhileThreadsWriteLosesAndRepeatsNoLine)
{
    vextest::StdoutCapture capture;
    SinkLines first;
    SinkLines second;
    SinkGuard guard;
    CvexDiagnostic::setSink(first.sink());
    std::atomic<int> written{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t) {
        threads.emplace_back([t, &written] {
            for (int i = 0; i < 200; ++i) {
                CvexDiagnostic() << "t" << t << " " << i;
                ++written;
            }
        });
    }
    ASSERT_TRUE(vextest::waitUntil([&] { return written.load() >= 100; }));
    CvexDiagnostic::setSink(second.sink());
    ASSERT_TRUE(vextest::waitUntil([&] { return written.load() >= 400; }));
    CvexDiagnostic::setSink(nullptr);
    for (auto& thread : threads)
        thread.join();

    std::vector<std::string> all = first.lines;
    all.insert(all.end(), second.lines.begin(), second.lines.end());
    const auto onStdout = capture.lines();
    all.insert(all.end(), onStdout.begin(), onStdout.end());
    ASSERT_EQ(all.size(), 600u);
    std::sort(all.begin(), all.end());
    EXPECT_EQ(std::adjacent_find(all.begin(), all.end()), all.end()) << "a line came twice";
    EXPECT_GE(first.lines.size(), 100u);
}

TEST(CvexDiagnosticSink, LineWrittenBySinkGoesToStdoutAndThrowingSinkIsSurvived)
{
    vextest::StdoutCapture capture;
    SinkGuard guard;
    std::vector<std::string> received;
    CvexDiagnostic::setSink([&received](const std::string& line) {
        received.push_back(line);
        CvexDiagnostic() << "sink saw: " << line;
        if (line == "throw")
            throw std::runtime_error("sink failed");
    });
    CvexDiagnostic::write("one");
    CvexDiagnostic::write("throw");
    CvexDiagnostic::write("two");
    EXPECT_EQ(received, (std::vector<std::string>{"one", "throw", "two"}));
    EXPECT_EQ(capture.lines(),
              (std::vector<std::string>{"sink saw: one", "sink saw: throw", "sink saw: two"}));
}
