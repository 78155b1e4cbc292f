// SPDX-License-Identifier: MIT
#include "vexcontroldatafactory.h"

#include <gtest/gtest.h>

#include <tuple>

using Orrery::CvexAbstractControlData;
using Orrery::CvexControlDataFactory;
using Orrery::tagCurveData;

namespace {

tagCurveData curveRecord(double first)
{
    tagCurveData record{};
    record.samples[0] = first;
    record.samples[3] = -first;
    return record;
}

std::vector<double> firstSamples(const std::vector<tagCurveData>& curve)
{
    std::vector<double> samples;
    for (const auto& record : curve)
        samples.push_back(record.samples[0]);
    return samples;
}

} // namespace

class ControlDataTest : public testing::Test {
protected:
    void SetUp() override
    {
        for (CvexAbstractControlData* data : {alarms, monitoring, curves})
            data->clear();
    }
    CvexAbstractControlData* alarms = CvexControlDataFactory::instance()->get(0);
    CvexAbstractControlData* monitoring = CvexControlDataFactory::instance()->get(1);
    CvexAbstractControlData* curves = CvexControlDataFactory::instance()->get(2);
};

TEST_F(ControlDataTest, LogsKeepTheCallsUntilClear)
{
    // One object per type, the same on every call.
    EXPECT_EQ(alarms, CvexControlDataFactory::instance()->get(0));
    EXPECT_NE(alarms, monitoring);
    EXPECT_NE(monitoring, curves);
    EXPECT_EQ(CvexControlDataFactory::instance()->get(-1), nullptr);
    alarms->addErrorLog(1001, 2, 0x80);
    alarms->addErrorLog(7, 1, 0);
    monitoring->addMoniLog();
    monitoring->addMoniLog();
    std::vector<std::tuple<unsigned int, int, int>> logs;
    for (const Orrery::CvexErrorLog& log : alarms->errorLogs())
        logs.emplace_back(log.alarmNumber, log.category, log.alarmByte);
    EXPECT_EQ(logs, (decltype(logs){{1001u, 2, 0x80}, {7u, 1, 0}}));
    EXPECT_TRUE(monitoring->errorLogs().empty());
    EXPECT_EQ(monitoring->moniLogCount(), 2u);
    curves->addCurveLog(1, curveRecord(1.0));
    curves->saveCurveLog(1);
    curves->addCurveLog(1, curveRecord(2.0));

    for (CvexAbstractControlData* data : {alarms, monitoring, curves})
        data->clear();
    EXPECT_TRUE(alarms->errorLogs().empty());
    EXPECT_EQ(monitoring->moniLogCount(), 0u);
    EXPECT_TRUE(curves->openCurve(1).empty());
    EXPECT_TRUE(curves->savedCurves(1).empty());
}

TEST_F(ControlDataTest, SavingClosesTheOpenCurve)
{
    EXPECT_EQ(curves->saveCurveLog(3), -1);
    EXPECT_TRUE(curves->savedCurves(3).empty());
    curves->addCurveLog(3, curveRecord(1.5));
    curves->addCurveLog(3, curveRecord(2.5));
    curves->addCurveLog(4, curveRecord(9.0));
    EXPECT_EQ(firstSamples(curves->openCurve(3)), (std::vector<double>{1.5, 2.5}));
    EXPECT_EQ(curves->saveCurveLog(3), 0);
    EXPECT_TRUE(curves->openCurve(3).empty());
    curves->addCurveLog(3, curveRecord(3.5));
    curves->saveCurveLog(3);
    // Saving without records keeps no empty curve.
    EXPECT_EQ(curves->saveCurveLog(3), -1);

    const auto saved = curves->savedCurves(3);
    ASSERT_EQ(saved.size(), 2u);
    EXPECT_EQ(firstSamples(saved[0]), (std::vector<double>{1.5, 2.5}));
    EXPECT_EQ(saved[0][1].samples[3], -2.5);
    EXPECT_EQ(firstSamples(saved[1]), (std::vector<double>{3.5}));
    EXPECT_EQ(firstSamples(curves->openCurve(4)), (std::vector<double>{9.0}));
}
