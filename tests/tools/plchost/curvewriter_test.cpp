// SPDX-License-Identifier: MIT
#include "curvewriter.h"

#include "childprocess.h"
#include "xmlcheck.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

using plchost::CurveWriter;

Orrery::tagCurveData record(double a, double b, double c, double d)
{
    return {{a, b, c, d}, 0, 0, 0};
}

const CurveWriter::SeriesNames kNames = {"Injection pressure", "Screw position, mm",
                                         "Speed \"set\"", "Melt <temp> & more"};

TEST(CurveWriter, CsvHasAHeaderAndOneRowPerRecord)
{
    const std::string csv =
        CurveWriter::csv({record(1, 2.5, -3, 0.125), record(4, 5, 6, 7)}, kNames);
    EXPECT_EQ(csv, "record,Injection pressure,\"Screw position, mm\",\"Speed \"\"set\"\"\","
                   "Melt <temp> & more\n"
                   "0,1,2.5,-3,0.125\n"
                   "1,4,5,6,7\n");
}

TEST(CurveWriter, SvgIsWellFormedWithFourSeriesALegendAndGapsForSamplesThatAreNotNumbers)
{
    std::vector<Orrery::tagCurveData> records;
    for (int i = 0; i < 30; ++i) {
        records.push_back(record(i, i == 0 ? std::numeric_limits<double>::quiet_NaN() : 100 - i,
                                 std::sin(i), 220));
    }
    const std::string svg = CurveWriter::svg("Curve 1", records, kNames);
    const auto document = vextest::readXml(svg);
    ASSERT_EQ(document.error, "");
    const auto series = document.named("polyline");
    ASSERT_EQ(series.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        const std::string& points = series[i]->attributes.at("points");
        EXPECT_EQ(std::count(points.begin(), points.end(), ','), i == 1 ? 29 : 30) << points;
        EXPECT_EQ(points.find("nan"), std::string::npos);
    }
    EXPECT_EQ(document.named("svg").size(), 1u);
    EXPECT_NE(svg.find(">Melt &lt;temp&gt; &amp; more</text>"), std::string::npos);
    EXPECT_NE(svg.find(">Screw position, mm</text>"), std::string::npos);
}

TEST(CurveWriter, WritesBothFilesNamedAfterCurveAndOrdinalOrNamesTheFailure)
{
    vextest::TempFolder folder;
    CurveWriter writer(folder.path());
    plchost::CurveFiles files;
    ASSERT_TRUE(writer.write(1, 3, {record(1, 2, 3, 4)}, kNames, &files)) << writer.error();
    EXPECT_EQ(files.csvPath, folder.path() + "/curve1-003.csv");
    EXPECT_EQ(files.svgPath, folder.path() + "/curve1-003.svg");
    EXPECT_EQ(vextest::readFile(files.csvPath), CurveWriter::csv({record(1, 2, 3, 4)}, kNames));
    EXPECT_EQ(vextest::readXml(vextest::readFile(files.svgPath)).error, "");

    CurveWriter nowhere("/nonexistent/folder");
    EXPECT_FALSE(nowhere.write(2, 1, {record(1, 2, 3, 4)}, kNames, &files));
    EXPECT_EQ(nowhere.error(),
              "cannot write /nonexistent/folder/curve2-001.csv: No such file or directory");
}

// The SVG checks above are only as good as the reader behind them.
TEST(CurveWriter, TheXmlReaderUsedHereRejectsBrokenDocuments)
{
    EXPECT_EQ(vextest::readXml("<svg><g/><polyline points=\"1,2\"/></svg>").error, "");
    for (const char* broken :
         {"<svg><g></svg>", "<svg><g a=1/></svg>", "<svg>a < b</svg>", "<svg>&nbsp;</svg>",
          "<svg/><svg/>", "<svg><g a=\"1\" a=\"2\"/></svg>", "<svg>"})
        EXPECT_NE(vextest::readXml(broken).error, "") << broken;
}

} // namespace
