// SPDX-License-Identifier: MIT
// The demo, run the way a user runs it (scripts/demo.sh, plain lines), on free ports: the link
// comes up, data flows, curves are written; and on a lossy, duplicating, reordering wire every
// curve is whole and every packet is stored once.
#include "childprocess.h"
#include "xmlcheck.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <sstream>

namespace {

using namespace std::chrono_literals;

// The first number after `label` in `text`; -1 when the label is not there.
long long numberAfter(const std::string& text, const std::string& label)
{
    const size_t at = text.find(label);
    return at == std::string::npos ? -1 : std::stoll(text.substr(at + label.size()));
}

// The first group (or the whole match) of each line of `text` that matches `pattern`.
std::vector<std::string> matchingLines(const std::string& text, const std::string& pattern)
{
    const std::regex match(pattern);
    std::istringstream in(text);
    std::vector<std::string> found;
    std::smatch groups;
    for (std::string line; std::getline(in, line);)
        if (std::regex_search(line, groups, match))
            found.push_back(groups[groups.size() > 1 ? 1 : 0]);
    return found;
}

class DemoRun : public testing::Test {
protected:
    // Runs the demo until it ends by itself, passing `simArgs` on to plcsim.
    vextest::ProcessResult runDemo(const std::string& seconds,
                                   const std::vector<std::string>& simArgs)
    {
        const auto ports = vextest::freeUdpPorts(2);
        const std::string common = folder.path() + "/common.json";
        vextest::writeFile(common, vextest::exampleCommon(ports[0], ports[1]));
        const std::string source = VEXPLC_SOURCE_DIR;
        std::vector<std::string> argv = {"bash", source + "/scripts/demo.sh", "--no-build",
                                         "--plain"};
        argv.insert(argv.end(), {"--build-dir", VEXPLC_BINARY_DIR, "--duration", seconds});
        argv.insert(argv.end(), {"--common", common, "--out", outFolder});
        argv.insert(argv.end(), {"--items", source + "/examples/items.json"});
        for (const std::string& arg : simArgs)
            argv.insert(argv.end(), {"--sim-arg", arg});
        const auto run = vextest::runProcess(argv, 120s);
        EXPECT_FALSE(run.timedOut) << run.out << run.err;
        EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
        return run;
    }

    vextest::TempFolder folder;
    const std::string outFolder = folder.path() + "/out";
};

TEST_F(DemoRun, LinkComesUpDataFlowsAndCurvesAreWritten)
{
    const auto run = runDemo("6", {"--alarm-interval", "1500", "--shot-interval", "1000"});
    ASSERT_FALSE(HasFailure());
    const std::string& out = run.out;
    for (const char* line :
         {"plchost: link state 3: online after ", "plchost: actual values flowing after ",
          "plchost: triggered data group 2 stored and confirmed: Last shot cycle time=",
          "plchost: link: final state 3 (online); reached state 3 after "})
        EXPECT_NE(out.find(line), std::string::npos) << line << "\nin\n" << out;
    EXPECT_GE(numberAfter(out, "plchost: alarms logged and answered: "), 1) << out;
    EXPECT_GE(numberAfter(out, "alarms answered "), 1) << out; // plcsim's side of the alarms
    EXPECT_GE(numberAfter(out, "mold sets confirmed "), 1) << out;
    // Told how many definitions make the table, plcsim notices a trigger download that stopped
    // on a lost acknowledgement; without, it would go on with the groups it got.
    EXPECT_NE(run.err.find(", protocol version 1, expects 3 trigger definitions\n"),
              std::string::npos)
        << run.err;

    const std::regex saved(R"(plchost: curve 1 saved \(#(\d+), (\d+) records\): (\S+), (\S+))");
    size_t curves = 0;
    for (std::sregex_iterator it(out.begin(), out.end(), saved), end; it != end; ++it, ++curves) {
        const size_t records = std::stoul((*it)[2]);
        ASSERT_GT(records, 0u);
        const std::string csv = vextest::readFile((*it)[3]);
        EXPECT_EQ(csv.rfind("record,Injection pressure curve,Screw position curve,Injection speed "
                            "curve,Melt pressure curve\n",
                            0),
                  0u)
            << csv.substr(0, 200);
        EXPECT_EQ(matchingLines(csv, R"(^\d+(?:,[-0-9.e+]+){4}$)").size(), records);
        const auto svg = vextest::readXml(vextest::readFile((*it)[4]));
        ASSERT_EQ(svg.error, "") << (*it)[4];
        ASSERT_EQ(svg.named("polyline").size(), 4u);
        for (const auto* polyline : svg.named("polyline")) {
            const std::string& points = polyline->attributes.at("points");
            EXPECT_EQ(static_cast<size_t>(std::count(points.begin(), points.end(), ',')), records);
        }
    }
    EXPECT_GE(curves, 1u) << out;
    EXPECT_EQ(numberAfter(out, "plchost: curves saved: "), static_cast<long long>(curves));
    EXPECT_EQ(numberAfter(out, "plchost: files written: "), static_cast<long long>(2 * curves));
}

class FaultyWire : public DemoRun, public testing::WithParamInterface<const char*> {};

// Loss, duplication and reordering together: the link still comes up in time, every curve is
// whole and every monitoring packet is stored exactly once. At 30 % loss an item now and then
// loses all four of its replies, and the whole download starts again; the run is long enough for
// two such restarts before the first curve.
TEST_P(FaultyWire, LinkComesUpCurvesAreWholeAndEveryPacketIsStoredOnce)
{
    const auto run = runDemo("24", {"--loss", "0.3", "--duplicate", "0.2", "--reorder", "0.2",
                                    "--seed", GetParam(), "--shot-interval", "1000", "-v"});
    ASSERT_FALSE(HasFailure());
    const std::string& out = run.out;
    const auto reached = matchingLines(out, R"(; reached state 3 after ([0-9.]+) s)");
    ASSERT_FALSE(reached.empty()) << out;
    EXPECT_LE(std::stod(reached[0]), 15.0);
    const auto curves = matchingLines(out, R"(plchost: curve 1 saved \(#\d+, (\d+) records\))");
    EXPECT_GE(curves.size(), 1u) << out;
    for (const std::string& records : curves)
        EXPECT_EQ(records, "180") << "every curve holds the shot's 720 samples";

    // Group 2 carries the shot number: no shot is stored twice, and none that reached the host is
    // missing (the last one or two may still have been on their way when the host stopped).
    const auto stored =
        matchingLines(out, R"(group 2 stored and confirmed: .*Last shot number=(\d+))");
    const std::multiset<std::string> shots(stored.begin(), stored.end());
    for (const std::string& shot : shots)
        EXPECT_EQ(shots.count(shot), 1u) << "shot " << shot << " stored twice";
    // Distinct packet numbers of group 2's triggered data that plcsim put on the wire.
    const auto sentLines = matchingLines(vextest::readFile(outFolder + "/plcsim.log"),
                                         R"(^out +1018 #(\d+) .*triggered data group 2,)");
    const size_t sent = std::set<std::string>(sentLines.begin(), sentLines.end()).size();
    EXPECT_GE(shots.size() + 2, sent) << out;
    EXPECT_LE(shots.size(), sent) << out;
    EXPECT_GE(numberAfter(out, " duplicated "), 1) << out;
    EXPECT_GE(numberAfter(out, " reordered "), 1) << out;
}

INSTANTIATE_TEST_SUITE_P(Seeds, FaultyWire, testing::Values("1", "2", "3"));

} // namespace
