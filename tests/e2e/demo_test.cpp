// SPDX-License-Identifier: MIT
// The demo, run the way a user runs it (scripts/demo.sh, plain lines), on free ports: the link
// comes up, data flows, curves are written; and with a lossy, duplicating PLC no data that the
// PLC saw confirmed is missing on the host.
#include "childprocess.h"
#include "xmlcheck.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>

namespace {

using namespace std::chrono_literals;

// The first number after `label` in `text`; -1 when the label is not there.
long long numberAfter(const std::string& text, const std::string& label)
{
    const size_t at = text.find(label);
    return at == std::string::npos ? -1 : std::stoll(text.substr(at + label.size()));
}

size_t countLines(const std::string& text, const std::string& pattern)
{
    const std::regex match(pattern);
    std::istringstream in(text);
    size_t n = 0;
    for (std::string line; std::getline(in, line);)
        n += std::regex_search(line, match) ? 1 : 0;
    return n;
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
        std::vector<std::string> argv = {"bash",
                                         VEXPLC_SOURCE_DIR "/scripts/demo.sh",
                                         "--no-build",
                                         "--build-dir",
                                         VEXPLC_BINARY_DIR,
                                         "--plain",
                                         "--duration",
                                         seconds,
                                         "--common",
                                         common,
                                         "--items",
                                         VEXPLC_SOURCE_DIR "/examples/items.json",
                                         "--out",
                                         outFolder};
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
        EXPECT_EQ(countLines(csv, R"(^\d+(,[-0-9.e+]+){4}$)"), records);
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

TEST_F(DemoRun, LossAndDuplicationLoseNoConfirmedData)
{
    const auto run = runDemo("8", {"--loss", "0.1", "--duplicate", "0.1", "--seed", "7",
                                   "--shot-interval", "800", "-v"});
    ASSERT_FALSE(HasFailure());
    const std::string& out = run.out;
    EXPECT_NE(out.find("; reached state 3 after "), std::string::npos) << out;
    EXPECT_GE(numberAfter(out, "faults: dropped "), 1) << out;
    EXPECT_GE(numberAfter(out, " duplicated "), 1) << out;
    EXPECT_EQ(numberAfter(out, "abandoned "), 0) << out;

    // Every monitoring packet that plcsim saw confirmed was stored: the host logs each stored
    // group 2 packet before it confirms it. Only a confirmation still queued when the host
    // stopped may be missing on plcsim's side.
    const auto confirmed =
        static_cast<long long>(countLines(vextest::readFile(outFolder + "/plcsim.log"),
                                          R"(^in +2018 .*trigger confirmation group 2$)"));
    const long long stored = numberAfter(out, "triggered data stored and confirmed: group 2: ");
    EXPECT_GE(confirmed, 1) << out;
    EXPECT_GE(stored, confirmed) << out;
    EXPECT_LE(stored, confirmed + 1) << out;
}

} // namespace
