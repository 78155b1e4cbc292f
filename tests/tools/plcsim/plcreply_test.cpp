// SPDX-License-Identifier: MIT
#include "plcreply.h"

#include "vextestsupport.h"

#include <gtest/gtest.h>

namespace {

using namespace vexsim;
using vextest::hex;

TEST(ReplyBytes, EveryBuilderAndTheFloatBitsMatchExactly)
{
    const std::string big = reply::common(1001, 0, 0, 0, std::string(65530, 'x'));
    EXPECT_EQ(big.size(), 65544u);
    const std::pair<std::string, const char*> rows[] = {
        {reply::lineStatus(3, 7), "88 55 14 00 EF 03 07 00 00 00 01 00 03 00 00 00 00 00 88 66"},
        {reply::lineStatus(65535), "88 55 14 00 EF 03 00 00 00 00 01 00 FF FF 00 00 00 00 88 66"},
        {reply::moldSetAck(50, 0x0102), "88 55 0E 00 F1 03 02 01 00 00 32 00 88 66"},
        {reply::moldSetStatus(120, 1), "88 55 12 00 F0 03 01 00 00 00 01 00 78 00 00 00 88 66"},
        {reply::actualValues({{1001, 8, 1, floatBits(1.5f)}}, 2),
         "88 55 18 00 E9 03 02 00 00 00 01 00 E9 03 00 00 08 01 00 00 C0 3F 88 66"},
        {reply::readParam({{7, 2, 0, 0xFFFE}}),
         "88 55 18 00 EA 03 00 00 00 00 01 00 07 00 00 00 02 00 FE FF 00 00 88 66"},
        {reply::writeParam({}), "88 55 0E 00 EB 03 00 00 00 00 00 00 88 66"},
        {reply::action({1, 0x80000001u}),
         "88 55 16 00 EE 03 00 00 00 00 02 00 01 00 00 00 01 00 00 80 88 66"},
        {reply::alarm({{3, 1000}}), "88 55 14 00 EC 03 00 00 00 00 01 00 03 00 E8 03 00 00 88 66"},
        {reply::triggerAck(7, 0xFFDF, {{0x1F4, 2}}, 9),
         "88 55 16 00 F9 03 09 00 07 00 DF FF 01 00 F4 01 00 00 02 00 88 66"},
        {reply::triggerAck(2), "88 55 10 00 F9 03 00 00 02 00 00 00 00 00 88 66"},
        {reply::triggeredData(5, {{4101, 0x01020304}}),
         "88 55 1A 00 FA 03 00 00 05 00 00 00 00 00 01 00 05 10 00 00 04 03 02 01 88 66"},
        {reply::curve(101, 3, {0.5f, 2.5f}, 4),
         "88 55 1A 00 FA 03 04 00 65 00 03 00 00 00 02 00 00 00 00 3F 00 00 20 40 88 66"},
        // The length field wraps modulo 65536.
        {big.substr(0, 4), "88 55 08 00"}};
    for (const auto& [bytes, expected] : rows)
        EXPECT_EQ(hex(bytes), expected);
    EXPECT_EQ(floatBits(-1.0f), 0xBF800000u);
    EXPECT_EQ(floatFromBits(0x3FC00000u), 1.5f);
}

} // namespace
