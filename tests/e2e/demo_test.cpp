// SPDX-License-Identifier: MIT
// The demo, run the way a user runs it (scripts/demo.sh, plain lines), on free ports: the link
// comes up, data flows, curves are written; and with a lossy, duplicating PLC no data that the
// PLC saw confirmed is missing on the host.
#include "childprocess.h"
#include "xmlcheck.h"

#include <gtest/gtest.h>
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <regex>
#include <sstream>

namespace {

using namespace std::chrono_literals;

// The example common file with other ports, so that tests never meet fixed ports.
std::string commonFileWithPorts(unsigned int hostPort, unsigned int plcPort)
{
    rapidjson::Document document;
    document.Parse(vextest::readFile(VEXPLC_SOURCE_DIR "/examples/common.json").c_str());
    for (auto& section : document.GetArray()) {
        if (!section.HasMember("Protocol"))
            continue;
        section["Protocol"]["Src"]["Port"].SetUint(hostPort);
        section["Protocol"]["Host"]["Port"].SetUint(plcPort);
    }
    rapidjson::StringBuffer text;
    rapidjson::Writer<rapidjson::StringBuffer> writer(text);
    document.Accept(writer);
    return text.GetString();
}

// The first number after `label` in `text`; -1 when the label is not there.
long long numberAfter(const std::string& text, const std::string& label)
{
    const size_t at = text.find(label);
    if (at == std::string::npos)
        return -1;
    return std::stoll(text.substr(at + label.size()));
}

size_t countLines(const std::string& text, const std::regex& pattern)
{
    std::istringstream in(text);
    size_t n = 0;
    for (std::string line; std::getline(in, line);)
        n += std::regex_search(line, pattern) ? 1 : 0;
    return n;
}

class DemoRun : public testing::Test {
protected:
    void SetUp() override
    {
        _common = _folder.path() + "/common.json";
        const auto ports = vextest::freeUdpPorts(2);
        vextest::writeFile(_common, commonFileWithPorts(ports[0], ports[1]));
        _out = _folder.path() + "/out";
    }

    vextest::ProcessResult runDemo(const std::string& seconds,
                                   const std::vector<std::string>& simArgs)
    {
        std::vector<std::string> argv = {"bash",
                                         VEXPLC_SOURCE_DIR "/scripts/demo.sh",
                                         "--no-build",
                                         "--build-dir",
                                         VEXPLC_BINARY_DIR,
                                         "--plain",
                                         "--duration",
                                         seconds,
                                         "--common",
                                         _common,
                                         "--items",
                                         VEXPLC_SOURCE_DIR "/examples/items.json",
                                         "--out",
                                         _out};
        for (const std::string& arg : simArgs) {
            argv.push_back("--sim-arg");
            argv.push_back(arg);
        }
        return vextest::runProcess(argv, 120s);
    }

    vextest::TempFolder _folder;
    std::string _common;
    std::string _out;
};

TEST_F(DemoRun, LinkComesUpDataFlowsAndCurvesAreWritten)
{
    const auto run = runDemo("6", {"--alarm-interval", "1500", "--shot-interval", "1000"});
    ASSERT_FALSE(run.timedOut) << run.out << run.err;
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    const std::string& out = run.out;
    EXPECT_NE(out.find("plchost: link state 3: online after "), std::string::npos) << out;
    EXPECT_NE(out.find("plchost: actual values flowing after "), std::string::npos) << out;
    EXPECT_NE(out.find("plchost: triggered data group 2 stored and confirmed: Last shot cycle "
                       "time="),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("plchost: link: final state 3 (online); reached state 3 after "),
              std::string::npos)
        << out;
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
    for (std::sregex_iterator it(out.begin(), out.end(), saved), end; it != end; ++it) {
        ++curves;
        const size_t records = std::stoul((*it)[2]);
        ASSERT_GT(records, 0u);
        const std::string csv = vextest::readFile((*it)[3]);
        EXPECT_EQ(csv.rfind("record,Injection pressure curve,Screw position curve,Injection speed "
                            "curve,Melt pressure curve\n",
                            0),
                  0u)
            << csv.substr(0, 200);
        EXPECT_EQ(countLines(csv, std::regex(R"(^\d+(,[-0-9.e+]+){4}$)")), records);
        const auto svg = vextest::readXml(vextest::readFile((*it)[4]));
        ASSERT_EQ(svg.error, "") << (*it)[4];
        const auto series = svg.named("polyline");
        ASSERT_EQ(series.size(), 4u);
        for (const auto* polyline : series) {
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
    ASSERT_FALSE(run.timedOut) << run.out << run.err;
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    const std::string& out = run.out;
    EXPECT_NE(out.find("; reached state 3 after "), std::string::npos) << out;
    EXPECT_GE(numberAfter(out, "faults: dropped "), 1) << out;
    EXPECT_GE(numberAfter(out, " duplicated "), 1) << out;
    EXPECT_EQ(numberAfter(out, "abandoned "), 0) << out;

    // Every monitoring packet that plcsim saw confirmed was stored: the host logs each stored
    // group 2 packet before it confirms it. Only a confirmation still queued when the host
    // stopped may be missing on plcsim's side.
    const std::string simLog = vextest::readFile(_out + "/plcsim.log");
    const auto confirmed = static_cast<long long>(
        countLines(simLog, std::regex(R"(^in +2018 .*trigger confirmation group 2$)")));
    const long long stored = numberAfter(out, "triggered data stored and confirmed: group 2: ");
    EXPECT_GE(confirmed, 1) << out;
    EXPECT_GE(stored, confirmed) << out;
    EXPECT_LE(stored, confirmed + 1) << out;
}

} // namespace
