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

namespace {

// Threads that each write `lines` lines "thread <t> line <i>", counting them in `written`.
class Writers {
public:
    Writers(int threads, int lines, std::atomic<int>* written = nullptr)
    {
        for (int t = 0; t < threads; ++t) {
            for (int i = 0; i < lines; ++i)
                _expected.push_back("thread " + std::to_string(t) + " line " + std::to_string(i));
            _threads.emplace_back([t, lines, written] {
                for (int i = 0; i < lines; ++i) {
                    CvexDiagnostic() << "thread " << t << " line " << i;
                    if (written)
                        ++*written;
                }
            });
        }
        std::sort(_expected.begin(), _expected.end());
    }
    ~Writers() { join(); }
    // Waits for the threads; every line they wrote, sorted.
    const std::vector<std::string>& join()
    {
        for (auto& thread : _threads)
            if (thread.joinable())
                thread.join();
        return _expected;
    }

private:
    std::vector<std::thread> _threads;
    std::vector<std::string> _expected;
};

std::vector<std::string> sorted(std::vector<std::string> lines)
{
    std::sort(lines.begin(), lines.end());
    return lines;
}

// A sink that keeps the lines it receives. It is called one line at a time, so no lock is needed
// for the writes, only for the test's reads after the writers joined.
CvexDiagnostic::Sink keepIn(std::vector<std::string>& lines)
{
    return [&lines](const std::string& line) { lines.push_back(line); };
}

// Restores the default output even when an assertion leaves the test early.
struct SinkGuard {
    ~SinkGuard() { CvexDiagnostic::setSink(nullptr); }
};

} // namespace

TEST(CvexDiagnostic, WritesOneLinePerObjectAndLinesOfThreadsNeverInterleave)
{
    vextest::StdoutCapture capture;
    const std::uint8_t code = 200;
    CvexDiagnostic() << "CvexPlcCommon::receiveData: Can't Find Protocol (Type: " << 65535 << " )";
    CvexDiagnostic() << "byte " << static_cast<unsigned>(code);
    CvexDiagnostic::write("plain");
    EXPECT_EQ(capture.lines(), (std::vector<std::string>{
                                   "CvexPlcCommon::receiveData: Can't Find Protocol (Type: 65535 )",
                                   "byte 200", "plain"}));

    const vextest::StdoutCapture threaded;
    const auto expected = Writers(4, 50).join();
    EXPECT_EQ(sorted(threaded.lines()), expected);
}

TEST(CvexDiagnosticSink, TakesEveryLineOfSeveralThreadsOnceThenRestoringBringsBackStdout)
{
    vextest::StdoutCapture capture;
    std::vector<std::string> received;
    std::vector<std::string> expected;
    {
        SinkGuard guard;
        CvexDiagnostic::setSink(keepIn(received));
        expected = Writers(4, 100).join();
    }
    CvexDiagnostic() << "after restore";
    EXPECT_EQ(sorted(received), expected);
    EXPECT_EQ(capture.lines(), std::vector<std::string>{"after restore"});
}

TEST(CvexDiagnosticSink, SettingItWhileThreadsWriteLosesAndRepeatsNoLine)
{
    vextest::StdoutCapture capture;
    std::vector<std::string> first;
    std::vector<std::string> second;
    SinkGuard guard;
    CvexDiagnostic::setSink(keepIn(first));
    std::atomic<int> written{0};
    Writers writers(3, 200, &written);
    ASSERT_TRUE(vextest::waitUntil([&] { return written.load() >= 100; }));
    CvexDiagnostic::setSink(keepIn(second));
    ASSERT_TRUE(vextest::waitUntil([&] { return written.load() >= 400; }));
    CvexDiagnostic::setSink(nullptr);
    const auto& expected = writers.join();

    std::vector<std::string> all = first;
    all.insert(all.end(), second.begin(), second.end());
    const auto onStdout = capture.lines();
    all.insert(all.end(), onStdout.begin(), onStdout.end());
    EXPECT_EQ(sorted(all), expected);
    EXPECT_GE(first.size(), 100u);
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
