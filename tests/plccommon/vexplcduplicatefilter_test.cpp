// SPDX-License-Identifier: MIT
// The bookkeeping behind the source's fault handling, on its own and with a clock of the test's.
#include "vexplcdownloadguard_p.h"
#include "vexplcduplicatefilter_p.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Orrery::CvexByteArray;
using Orrery::CvexPlcDownloadGuard;
using Orrery::CvexPlcDuplicateFilter;
using Verdict = CvexPlcDuplicateFilter::Verdict;
using Item = CvexPlcDownloadGuard::Item;
using namespace std::chrono_literals;

// A triggered-data datagram of 16 bytes with packet number `number` and one varying byte.
CvexByteArray packet(unsigned char number, char content)
{
    std::string bytes("\x99\x88\x10\x00\xFA\x03\x00\x00\x02\x00\x00\x00\x00\x00\x00\x00", 16);
    bytes[6] = static_cast<char>(number);
    bytes[15] = content;
    return CvexByteArray(bytes.data(), static_cast<int>(bytes.size()));
}

// Each sequence runs through a filter of its own.
TEST(DuplicateFilter, RepeatsInTheWindowAreRecognisedAndTwoDatagramsWithOneNumberTurnItOff)
{
    struct Row {
        CvexByteArray datagram;
        std::chrono::milliseconds at;
        Verdict verdict;
        bool enabledAfter = true;
    };
    const std::vector<Row> sequences[] = {
        {{packet(1, 'a'), 0ms, Verdict::New},
         {packet(2, 'b'), 10ms, Verdict::New},
         {packet(1, 'a'), 1500ms, Verdict::Repeat},
         {packet(1, 'a'), 3400ms, Verdict::Repeat}, // 1.9 s after the last repeat
         {packet(2, 'b'), 3400ms, Verdict::New},    // 3.39 s after it was seen
         {packet(1, 'a'), 5500ms, Verdict::New}},
        {{packet(0, 'a'), 0ms, Verdict::New},
         {packet(0, 'b'), 5ms, Verdict::FilterTurnedOff, false},
         {packet(0, 'b'), 6ms, Verdict::New, false},
         {packet(0, 'a'), 7ms, Verdict::New, false}},
    };
    for (const std::vector<Row>& sequence : sequences) {
        CvexPlcDuplicateFilter filter;
        const auto t0 = CvexPlcDuplicateFilter::Clock::time_point() + 1h;
        for (const Row& row : sequence) {
            SCOPED_TRACE(row.at.count());
            EXPECT_EQ(filter.check(row.datagram, t0 + row.at), row.verdict);
            EXPECT_EQ(filter.isEnabled(), row.enabledAfter);
        }
    }
}

TEST(DownloadGuard, CountsThreeResendsPerItemAndStartsAgainForAnother)
{
    CvexPlcDownloadGuard guard;
    EXPECT_FALSE(guard.takeResend()); // nothing waits
    guard.sent(Item::MoldSetPack, 0);
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(guard.takeResend());
        guard.sent(Item::MoldSetPack, 0); // the resend itself
    }
    EXPECT_FALSE(guard.takeResend());
    guard.sent(Item::MoldSetPack, 50);
    EXPECT_TRUE(guard.takeResend());
    guard.sent(Item::Trigger, 50);
    EXPECT_TRUE(guard.isWaitingFor(Item::Trigger));
    EXPECT_FALSE(guard.isDue(60000));
    EXPECT_TRUE(guard.isDue(0));
    guard.clear();
    EXPECT_TRUE(guard.isWaitingFor(Item::None));
    EXPECT_FALSE(guard.isDue(0));
}

} // namespace
