// SPDX-License-Identifier: MIT
// The process values of plcsim: what an item measures decides how its values move.
#include "processmodel.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using Kind = vexsim::ProcessModel::Kind;

TEST(ProcessModel, KindFollowsWhatTheNameMeasures)
{
    const std::pair<const char*, Kind> rows[] = {
        {"Last shot cycle time", Kind::Generic}, // not a count of shots
        {"Last shot number", Kind::Counter},
        {"Shot counter", Kind::Counter},
        {"Last shot peak injection pressure", Kind::Pressure},
        {"Barrel zone 1 temperature", Kind::Temperature},
        {"Screw position curve", Kind::Position},
        {"Injection speed curve", Kind::Speed}};
    for (const auto& [name, kind] : rows) {
        const vexsim::ItemInfo item{4001, name, 8, 9, 0, false};
        EXPECT_EQ(vexsim::ProcessModel::kindOf(item.id, &item), kind) << name;
    }
}

// The samples of series `series` (0 to 3) of an interleaved curve.
std::vector<float> seriesOf(const std::vector<float>& samples, size_t series)
{
    std::vector<float> out;
    for (size_t i = series; i < samples.size(); i += 4)
        out.push_back(samples[i]);
    return out;
}

float highest(const std::vector<float>& values)
{
    return *std::max_element(values.begin(), values.end());
}

TEST(ProcessModel, EachSeriesOfAShotCurveFollowsTheKindOfItsDataID)
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
    EXPECT_GT(highest(pressure), 700.0f);
    EXPECT_LT(pressure.front(), 20.0f);
    EXPECT_LT(highest(seriesOf(samples, 2)), highest(position) - 5.0f)
        << "a second position series must not hide the first";
}

} // namespace
