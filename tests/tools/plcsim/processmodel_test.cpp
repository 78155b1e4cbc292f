// SPDX-License-Identifier: MIT
// The process values of plcsim: what an item measures decides how its values move.
#include "processmodel.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using Kind = vexsim::ProcessModel::Kind;

struct Named {
    const char* name;
    Kind kind;
};

class KindByName : public ::testing::TestWithParam<Named> {};

TEST_P(KindByName, FollowsWhatTheNameMeasures)
{
    const vexsim::ItemInfo item{4001, GetParam().name, 8, 9, 0, false};
    EXPECT_EQ(vexsim::ProcessModel::kindOf(item.id, &item), GetParam().kind) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Names, KindByName,
    ::testing::Values(Named{"Last shot cycle time", Kind::Generic}, // not a count of shots
                      Named{"Last shot number", Kind::Counter},
                      Named{"Shot counter", Kind::Counter},
                      Named{"Last shot peak injection pressure", Kind::Pressure},
                      Named{"Barrel zone 1 temperature", Kind::Temperature},
                      Named{"Screw position curve", Kind::Position},
                      Named{"Injection speed curve", Kind::Speed}));

// The samples of series `series` (0 to 3) of an interleaved curve.
std::vector<float> seriesOf(const std::vector<float>& samples, size_t series)
{
    std::vector<float> out;
    for (size_t i = series; i < samples.size(); i += 4)
        out.push_back(samples[i]);
    return out;
}

TEST(ShotCurve, EachSeriesFollowsTheKindOfItsDataID)
{
    vexsim::ItemTable items;
    items.add({5001, "Screw position curve", 8, 9, 0, true});
    items.add({5002, "Injection pressure curve", 8, 9, 0, true});
    items.add({5003, "Spare", 8, 9, 0, true});
    const auto series = vexsim::ProcessModel::curveSeries({5001, 5002, 5003, 5004}, items);
    EXPECT_EQ(series, (std::array<Kind, 4>{Kind::Position, Kind::Pressure, Kind::Position,
                                           Kind::Temperature}))
        << "a name that tells nothing, or no item, keeps the usual series at that place";

    vexsim::ProcessModel model(1, vexsim::ProcessModel::Clock::now(), std::chrono::seconds(2));
    const auto samples = model.shotCurve(180, series);
    ASSERT_EQ(samples.size(), 720u);
    const auto position = seriesOf(samples, 0);
    const auto pressure = seriesOf(samples, 1);
    // The screw starts back at its stroke and is pushed to the cushion; the pressure peaks.
    EXPECT_GT(position.front(), 55.0f);
    EXPECT_LT(*std::min_element(position.begin(), position.end()), 6.0f);
    EXPECT_GT(*std::max_element(pressure.begin(), pressure.end()), 700.0f);
    EXPECT_LT(pressure.front(), 20.0f);
    const auto second = seriesOf(samples, 2);
    EXPECT_LT(*std::max_element(second.begin(), second.end()),
              *std::max_element(position.begin(), position.end()) - 5.0f)
        << "a second position series must not hide the first";
}

} // namespace
