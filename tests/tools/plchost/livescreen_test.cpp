// SPDX-License-Identifier: MIT
#include "livescreen.h"

#include <gtest/gtest.h>

namespace {

class LiveScreenTest : public testing::Test {
protected:
    void SetUp() override
    {
        _plan.sourceIP = _plan.hostIP = "127.0.0.1";
        _plan.sourcePort = 30001;
        _plan.hostPort = 30002;
        _plan.moldBlockIDs.assign(120, 1);
        for (unsigned int id = 1001; id <= 1020; ++id)
            _view.actuals.push_back(
                {id, "Value " + std::to_string(id), Orrery::CvexVariant(1.5), 1.0, 1});
        _view.now = 4.0;
        _view.lineStatus = 3;
        _view.onlineAt = 1.2;
        _view.moldConfirmedAt = 1.2;
        _frame.view = &_view;
        _frame.plan = &_plan;
        _frame.duration = 15;
    }

    plchost::HostPlan _plan;
    plchost::MonitorView _view;
    plchost::ScreenFrame _frame;
};

TEST_F(LiveScreenTest, ShowsLinkMoldSetAndValuesWithTheirAge)
{
    _frame.rows = 60;
    const auto lines = plchost::LiveScreen::render(_frame);
    EXPECT_EQ(lines[0], "plchost  127.0.0.1:30001 <-> PLC 127.0.0.1:30002   4.0 s of 15.0 s   "
                        "(Ctrl-C stops)");
    EXPECT_EQ(lines[1], "Link: state 3 = online   (first online after 1.2 s)");
    EXPECT_EQ(lines[2], "Mold set: block 1, 120 IDs in 3 packs: confirmed 2.8 s ago");
    EXPECT_EQ(lines[5], "  Value 1001                      1001    1.5           3.0 s");
}

TEST_F(LiveScreenTest, FitsASmallTerminal)
{
    _frame.rows = 16;
    _frame.columns = 40;
    const auto lines = plchost::LiveScreen::render(_frame);
    EXPECT_LE(lines.size(), 16u);
    for (const std::string& line : lines)
        EXPECT_LE(line.size(), 40u) << line;
    EXPECT_NE(std::find_if(
                  lines.begin(), lines.end(),
                  [](const std::string& line) { return line.find("more") != std::string::npos; }),
              lines.end());
}

} // namespace
