// SPDX-License-Identifier: MIT
#include "livescreen.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

bool has(const std::vector<std::string>& lines, const std::string& start)
{
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& line) { return line.rfind(start, 0) == 0; });
}

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
    // Built member by member: gcc 12 at -O3 takes the vector inside a braced temporary of this
    // aggregate for uninitialised (a false maybe-uninitialized that -Werror turns into a stop).
    static plchost::GroupState group(unsigned int groupID, unsigned int id, size_t packets,
                                     double lastAt)
    {
        plchost::GroupState state;
        state.group.groupID = groupID;
        state.group.ids.push_back(id);
        state.packets = packets;
        state.lastAt = lastAt;
        return state;
    }
    // A frame of `rows` x `columns`, which it must fit.
    std::vector<std::string> render(int rows, int columns)
    {
        _frame.rows = rows;
        _frame.columns = columns;
        const auto lines = plchost::LiveScreen::render(_frame);
        EXPECT_LE(lines.size(), static_cast<size_t>(rows));
        for (const std::string& line : lines)
            EXPECT_LE(line.size(), static_cast<size_t>(columns)) << line;
        return lines;
    }
    // A busy run, for the terminal sizes engineers use.
    void busy()
    {
        _view.now = 40.0;
        plchost::GroupState data = group(2, 4001, 20, 39.5);
        data.rows.push_back({4001, "Cycle", Orrery::CvexVariant(29.5), 39.5, 20});
        plchost::GroupState failed = group(5, 4101, 0, -1);
        failed.answer = {"data request error", 1.3};
        _view.groups = {std::move(data), std::move(failed), group(101, 5001, 20, 39.5)};
        for (unsigned int i = 0; i < 6; ++i)
            _view.alarms.push_back({1000 + i, 1, 4.0 * (i + 1)});
        for (size_t i = 1; i <= 20; ++i)
            _view.curves.push_back({1, i, 180, {"out/c.csv", "out/c.svg"}, 2.0 * i});
        _frame.events = {"e1", "e2", "e3", "e4"};
        _frame.libraryLines = {"l1", "l2", "l3", "l4"};
    }

    plchost::HostPlan _plan;
    plchost::MonitorView _view;
    plchost::ScreenFrame _frame;
};

TEST_F(LiveScreenTest, ShowsLinkMoldSetAndValuesWithTheirAgeAndFitsASmallTerminal)
{
    _view.statistics.datagramsSent = 40;
    _view.statistics.datagramsReceived = 38;
    _view.statistics.unknownReceived = 1;
    _view.statistics.retransmissions = 2;
    _view.statistics.duplicatesIgnored = 3;
    const auto lines = render(60, 200);
    EXPECT_EQ(lines[0], "plchost  127.0.0.1:30001 <-> PLC 127.0.0.1:30002   4.0 s of 15.0 s   "
                        "(Ctrl-C stops)");
    EXPECT_EQ(lines[1], "Link: state 3 = online   (first online after 1.2 s)   datagrams 40 out, "
                        "38 in, 1 refused, 2 resent, 3 repeats");
    EXPECT_EQ(lines[2], "Mold set: block 1, 120 IDs in 3 packs: confirmed 2.8 s ago");
    EXPECT_EQ(lines[5], "  Value 1001                      1001    1.5           3.0 s");

    EXPECT_TRUE(has(render(16, 40), "  ... 14 more"));
}

// At 80x24 the lower sections give up their detail before the actual values do; at 160x50
// everything is shown.
TEST_F(LiveScreenTest, BusyRunAt80By24And160By50)
{
    busy();
    const auto lines = render(23, 80); // the last terminal row stays free
    EXPECT_EQ(lines.size(), 23u);
    EXPECT_EQ(lines[0], "plchost 127.0.0.1:30001 <-> PLC 127.0.0.1:30002  40.0 s of 15.0 s  "
                        "Ctrl-C stops");
    for (unsigned int id = 1001; id <= 1011; ++id)
        EXPECT_TRUE(has(lines, "  Value " + std::to_string(id))) << id;
    for (const char* start :
         {"  ... 9 more", "Triggers (acknowledgement | data stored and confirmed)",
          "  group 5: data request error | 0 packets",
          "Alarms (6 logged and answered; latest 1005 at 24.0 s)",
          "Curves (20 saved, 0 files written; latest out/c.svg)"})
        EXPECT_TRUE(has(lines, start)) << start;

    const auto wide = render(49, 160);
    EXPECT_EQ(wide[0], "plchost  127.0.0.1:30001 <-> PLC 127.0.0.1:30002   40.0 s of 15.0 s   "
                       "(Ctrl-C stops)");
    for (unsigned int id = 1001; id <= 1020; ++id)
        EXPECT_TRUE(has(wide, "  Value " + std::to_string(id))) << id;
    for (const char* start : {"  group 2: acknowledged | 20 packets, last 0.5 s ago | Cycle=29.5",
                              "  group 101 (curve 1): acknowledged | 20 curves, last 0.5 s ago",
                              "  24.0 s  alarm 1005, alarm byte 1",
                              "  curve 1 #20: 180 records -> out/c.svg", "  e4", "  l4"})
        EXPECT_TRUE(has(wide, start)) << start;
}

// The prompt keeps the last row, cut to the width, whatever the rest of the frame needs.
TEST_F(LiveScreenTest, ThePromptTakesTheLastRow)
{
    busy();
    _frame.prompt = "command> download Injection stage 1 pressure=812.5_";
    const auto lines = render(23, 40);
    ASSERT_EQ(lines.size(), 23u);
    EXPECT_EQ(lines.back(), "command> download Injection stage 1 pres");
    EXPECT_EQ(std::count(lines.begin(), lines.end(), lines.back()), 1);
}

} // namespace
