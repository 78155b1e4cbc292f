// SPDX-License-Identifier: MIT
#include "vexdiagnostic.h"

#include <vextestsupport.h>

#include <gtest/gtest.h>

#include <cstdint>
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
