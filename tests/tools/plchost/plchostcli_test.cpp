// SPDX-License-Identifier: MIT
// plchost as a user meets it: exit codes and the messages on standard error for bad input, and
// the one-shot commands and runs against plcsim, or against no PLC at all.
#include "childprocess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <memory>
#include <regex>
#include <set>
#include <sstream>

#include <rapidjson/document.h>

namespace {

using namespace std::chrono_literals;
using Words = std::vector<std::string>;

const std::string kCommon = VEXPLC_SOURCE_DIR "/examples/common.json";
const std::string kItems = VEXPLC_SOURCE_DIR "/examples/items.json";

std::string endpoint(unsigned int port)
{
    return "127.0.0.1:" + std::to_string(port);
}

Words with(Words words, const Words& more)
{
    words.insert(words.end(), more.begin(), more.end());
    return words;
}

vextest::ProcessResult plchost(const Words& arguments)
{
    return vextest::runProcess(with({PLCHOST_BINARY}, arguments), 60s);
}

void expectHas(const std::string& text, const Words& parts)
{
    for (const std::string& part : parts)
        EXPECT_NE(text.find(part), std::string::npos) << part << "\nin\n" << text;
}

class Plchost : public testing::Test {
protected:
    std::string write(const std::string& name, const std::string& content)
    {
        const std::string path = folder.path() + "/" + name;
        vextest::writeFile(path, content);
        return path;
    }
    // plcsim on the endpoints of `common`.
    Words plcsim(const Words& more) const
    {
        return with({PLCSIM_BINARY, "--bind", endpoint(ports[1]), "--host", endpoint(ports[0])},
                    more);
    }
    // A run of `common` with the example's items, writing into `out`.
    Words run(const Words& more) const
    {
        return with({"run", common, "--items", kItems, "--out", out}, more);
    }
    // The same run as a shell command.
    std::string shellRun(const std::string& more) const
    {
        return std::string("'") + PLCHOST_BINARY + "' run '" + common + "' --items '" + kItems +
               "' --out '" + out + "' " + more;
    }
    // Runs plchost with `args`, after starting a plcsim with `sim` on the ports of `common` when
    // `sim` is not empty, and checks the exit code, all of standard error and parts of the output.
    void expect(const Words& args, int exitCode, const std::string& err, const Words& out = {},
                const Words& sim = {})
    {
        SCOPED_TRACE(args.front() + " " + args.back());
        const auto plcsimRun =
            sim.empty() ? nullptr : std::make_unique<vextest::BackgroundProcess>(plcsim(sim));
        const auto result = plchost(args);
        EXPECT_EQ(result.exitCode, exitCode) << result.out << result.err;
        EXPECT_EQ(result.err, err);
        expectHas(result.out, out);
    }

    vextest::TempFolder folder;
    const std::vector<unsigned int> ports = vextest::freeUdpPorts(2);
    const std::string common = write("common.json", vextest::exampleCommon(ports[0], ports[1]));
    const std::string out = folder.path() + "/out";
};

TEST_F(Plchost, BadInputIsNamedWithTheExitCode)
{
    expect({"check", kCommon, "--items", kItems}, 0, "", {"Verdict: usable\n"});
    const std::string broken = write("broken.json", "[{\"Type\": {\"ID\": 7}}]");
    expect({"check", broken}, 1,
           "plchost: " + broken +
               " is not usable: no usable protocol section ({\"Protocol\": {...}}): the source "
               "has no endpoints and sets up no socket (and 1 more error, see the report)\n",
           {"Verdict: not usable\n"});
    const std::string& dir = folder.path();
    expect({"check", dir}, 1,
           "plchost: " + dir + " is not usable: " + dir +
               ": cannot read the file: it is a directory\n");
    const std::string empty = write("empty.json", "\n  \n");
    expect({"check", empty}, 1,
           "plchost: " + empty + " is not usable: " + empty +
               ": the file is empty (a JSON array was expected)\n");
    expect({"check", kCommon, "--items", dir}, 2,
           "plchost: " + dir + ": cannot read the file: it is a directory\n");
    const std::string syntax = write("syntax.json", "[\n  {\"Type\": {\"ID\": 7,}}\n]\n");
    expect({"check", syntax}, 1,
           "plchost: " + syntax + " is not usable: " + syntax +
               ":2:21: JSON syntax error: Missing a name for object member.\n");
    // A double dash ends the options, and a value may follow an equals sign.
    expect({"action", kCommon, "--timeout=0.5", "--", "--5"}, 2,
           "plchost: \"--5\" is not an action code (an unsigned 32-bit number)\n");
    // A usage error is one line and a hint; the usage itself comes with --help, for one
    // command or all.
    expect({"run", kCommon}, 2, "plchost: \"run\" needs --items ITEMS (see plchost --help)\n");
    expect({"frobnicate"}, 2, "plchost: unknown command \"frobnicate\" (see plchost --help)\n");
    const auto help = plchost({"--help"});
    EXPECT_EQ(help.out.rfind("usage:\n", 0), 0u) << help.out;
    const auto runHelp = plchost({"run", "--help"});
    EXPECT_EQ(runHelp.exitCode, 0);
    EXPECT_EQ(runHelp.out.rfind("usage:\n  plchost run FILE --items ITEMS", 0), 0u) << runHelp.out;
    EXPECT_EQ(runHelp.out.find("plchost check"), std::string::npos) << runHelp.out;
    for (const char* tool : {PLCHOST_BINARY, PLCSIM_BINARY}) {
        const auto version = vextest::runProcess({tool, "--version"}, 10s);
        EXPECT_EQ(version.exitCode, 0);
        EXPECT_EQ(version.out,
                  std::filesystem::path(tool).stem().string() + " " + VEXPLC_VERSION_TEXT + "\n");
    }
    const vextest::UdpSocket taken;
    const std::string takenSrc = write("taken.json", vextest::exampleCommon(taken.port(), 9));
    expect({"run", takenSrc, "--items", kItems, "--duration", "1", "--plain", "--out", out}, 2,
           "plchost: cannot bind " + endpoint(taken.port()) +
               ": Address already in use (the \"Src\" endpoint of " + takenSrc + ")\n");
    expect({"run", kCommon, "--items", "/nonexistent/items.json"}, 2,
           "plchost: /nonexistent/items.json: cannot read the file: No such file or directory\n");
    const std::string noValue =
        write("items.json", R"([{"ID": 2001, "Name": "Stage 1 position", "DataType": 4}])");
    expect({"run", kCommon, "--items", noValue, "--plain"}, 2,
           "plchost: cannot run with " + kCommon + ":\n  error: " + noValue +
               ": 129 mold set IDs are not in the item dictionary, so their packs would be sent "
               "again forever: 2002-2120, 3001-3010\n  error: " +
               noValue +
               ": mold set ID 2001 (Stage 1 position) has no \"Value\": its pack would be sent "
               "again forever\n");
    expect({"upload", kCommon, "--items", kItems, "Nozzle"}, 2,
           "plchost: \"Nozzle\" is neither a data ID nor a name in " + kItems + "\n");
    expect({"download", kCommon, "--items", kItems, "Machine mode=300"}, 2,
           "plchost: 300 does not fit Machine mode (ID 1020, data type 1: signed 8-bit)\n");
    expect({"action", kCommon, "start"}, 2,
           "plchost: \"start\" is not an action code (an unsigned 32-bit number)\n");
}

TEST_F(Plchost, RunsAndOneShotCommandsSayWhatThePlcDid)
{
    auto plainRun = [&](const std::string& seconds) {
        return run({"--plain", "--duration", seconds});
    };
    auto oneShot = [&](const std::string& command, const Words& targets) {
        return with({command, common, "--items", kItems}, targets);
    };
    const std::string silent = "no datagram came from the PLC at " + endpoint(ports[1]) +
                               " (\"Host\" in " + common +
                               "); check that the PLC (or plcsim) runs there and answers to " +
                               endpoint(ports[0]) + " (\"Src\")\n";
    expect(plainRun("1.5"), 1,
           "plchost: the link never came up in 1.5 s (state 0: offline): " + silent,
           {"plchost: link: final state 0 (offline); never reached state 3"});
    expect(oneShot("upload", {"--timeout", "0.5", "2001"}), 1,
           "plchost: the link did not come up within 1.5 s (state 0: offline), so nothing was "
           "sent: " +
               silent);
    expect(plainRun("2.5"), 1,
           "plchost: the link never came up in 2.5 s (state 65535: version mismatch): the PLC at " +
               endpoint(ports[1]) + " refuses protocol version 1 (\"Version\" in " + common + ")\n",
           {"plchost: link state 65535: version mismatch: the PLC refuses protocol version 1\n"},
           {"--version", "2", "--duration", "30"});
    const Words simulate = {"--items", kItems, "--duration", "30"};
    // The library's own lines go to the log and, with -v, to the screen as well.
    expect(with(plainRun("3"), {"-v"}), 0, "",
           {"plchost: trigger group 5 acknowledged with an error: data request error\n",
            " library: groupID: 5 plc trigger data request error\n",
            " library: Failed ID: 1005 Error Code: 2\n",
            "group 5: ", " updates (data request error)"},
           {"--items", kItems, "--duration", "30", "--fail-group", "5", "--triggers", "3",
            "--shot-interval", "500"});
    // The PLC holds the mold set the host downloaded on start-up.
    expect(oneShot("upload", {"--timeout", "10", "2001", "Injection stage 1 pressure"}), 0, "",
           {"plchost: Injection stage 1 position (ID 2001) = 21222\n",
            "plchost: Injection stage 1 pressure (ID 2003) = 0\n"},
           simulate);
    // Sent at once, the request was dropped when the PLC asked for the mold set, and clearing
    // the value of 2001 cut it out of the mold set packs, which then never got acknowledged.
    expect(oneShot("upload", {"2001"}), 0, "",
           {"plchost: Injection stage 1 position (ID 2001) = 21222\n"}, simulate);
    expect(oneShot("upload", {"--timeout", "3", "99999"}), 1,
           "plchost: ID 99999: no valid value from the PLC within 3.0 s (no answer, or the PLC "
           "does not hold this ID)\n",
           {}, simulate);
    // Nozzle temperature is data type 7: its value must travel as a float, like type 8.
    expect(oneShot("download", {"--timeout", "10", "Screw speed=130", "1009=812.5",
                                "Nozzle temperature=250.5"}),
           0, "",
           {"plchost: Injection pressure (ID 1009): wrote 812.5, the PLC reads back 812.5\n",
            "plchost: Screw speed (ID 1014): wrote 130, the PLC reads back 130\n",
            "plchost: Nozzle temperature (ID 1005): wrote 250.5, the PLC reads back 250.5\n"},
           simulate);
    expect(oneShot("action", {"--timeout", "10", "5", "6"}), 0, "",
           {"plchost: action 5: state 1 (0x00000001, done)\n", "plchost: action 6: state "},
           simulate);
    // plcsim refuses the action code 0.
    expect(oneShot("action", {"--timeout", "10", "5", "0"}), 1,
           "plchost: the PLC reports 1 of 2 action(s) as failed (bit 31 of the state set)\n",
           {"plchost: action 0: state 2147483648 (0x80000000, failed: bit 31 set)\n"}, simulate);
}

TEST_F(Plchost, RunsKeepWhatEarlierRunsSavedAndEndWithTheirSummary)
{
    auto curves = [&] {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(out))
            if (entry.path().extension() == ".csv")
                names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    };
    std::vector<std::string> first;
    std::string firstContent;
    for (int attempt = 0; attempt < 2; ++attempt) {
        vextest::BackgroundProcess sim(
            plcsim({"--items", kItems, "--shot-interval", "500", "--duration", "30"}));
        const auto result = plchost(run({"--plain", "--duration", "3"}));
        EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
        // Plain lines carry a wall-clock time stamp.
        const std::regex stamped(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} plchost: )");
        EXPECT_TRUE(std::regex_search(result.out, stamped)) << result.out;
        if (attempt == 0) {
            first = curves();
            ASSERT_FALSE(first.empty()) << result.out;
            firstContent = vextest::readFile(out + "/" + first.front());
        }
    }
    const std::vector<std::string> both = curves();
    EXPECT_GT(both.size(), first.size());
    EXPECT_TRUE(std::includes(both.begin(), both.end(), first.begin(), first.end()));
    EXPECT_EQ(vextest::readFile(out + "/" + first.front()), firstContent)
        << "the second run overwrote " << first.front();
    const std::string log = vextest::readFile(out + "/plchost.log");
    size_t runs = 0;
    for (size_t at = 0; (at = log.find(" run of ", at)) != std::string::npos; ++at)
        ++runs;
    EXPECT_EQ(runs, 2u) << log;
    EXPECT_NE(log.find(" library: "), std::string::npos) << "the library's lines are logged";

#ifndef _WIN32 // POSIX signals and pipes
    // SIGHUP ends a run as SIGTERM and Ctrl-C do: with the summary, and 128 + the signal.
    for (const int signal : {SIGHUP, SIGTERM, SIGINT}) {
        vextest::BackgroundProcess host(
            with({PLCHOST_BINARY}, run({"--plain", "--duration", "60"})));
        ASSERT_TRUE(host.waitForOutput("plchost: running ", 20s));
        host.signal(signal);
        const auto result = host.stop(20s);
        EXPECT_FALSE(result.timedOut);
        EXPECT_EQ(result.exitCode, 128 + signal);
        expectHas(result.out, {"plchost: summary after ",
                               "plchost: stopped by signal " + std::to_string(signal)});
    }
    // A closed pipe ends it too, at once, and the summary still reaches the log.
    const auto piped = vextest::runProcess(
        {"bash", "-c",
         shellRun("--plain --duration 60 | head -n 1 >/dev/null; echo \"exit ${PIPESTATUS[0]}\"")},
        20s);
    EXPECT_FALSE(piped.timedOut);
    EXPECT_EQ(piped.out, "exit 141\n");
    const std::string tail = vextest::readFile(out + "/plchost.log");
    EXPECT_NE(tail.find("plchost: summary after ", tail.rfind(" run of ")), std::string::npos);
#endif
}

#ifndef _WIN32 // ends the run by a signal
TEST_F(Plchost, TheClosingMessageTellsWhatHappenedDuringTheRun)
{
    // The PLC answers with a version mismatch, then goes away: the link ends at state 0, yet
    // "no datagram came" would be wrong. The message comes with a signal's end as well.
    auto sim = std::make_unique<vextest::BackgroundProcess>(plcsim({"--version", "2"}));
    vextest::BackgroundProcess host(with({PLCHOST_BINARY}, run({"--plain"})));
    ASSERT_TRUE(host.waitForOutput("plchost: link state 65535", 30s));
    sim.reset();
    ASSERT_TRUE(host.waitForOutput("plchost: link state 0: offline", 30s, 2));
    host.signal(SIGTERM);
    const auto result = host.stop(20s);
    EXPECT_EQ(result.exitCode, 143);
    const std::string expected = "(state 0: offline): the PLC at " + endpoint(ports[1]) +
                                 " refuses protocol version 1 (\"Version\" in " + common + ")\n";
    EXPECT_EQ(result.err.rfind("plchost: the link never came up in ", 0), 0u) << result.err;
    EXPECT_EQ(result.err.substr(result.err.size() - std::min(result.err.size(), expected.size())),
              expected);
}
#endif

TEST_F(Plchost, JsonRunWritesOneObjectALineLimitedToTheIdsAsked)
{
    vextest::BackgroundProcess sim(
        plcsim({"--items", kItems, "--shot-interval", "500", "--duration", "30"}));
    const auto result =
        plchost(run({"--json", "--ids", "Injection pressure,1001", "--duration", "4"}));
    EXPECT_EQ(result.exitCode, 0) << result.err;
    std::istringstream lines(result.out);
    std::set<unsigned int> ids;
    std::set<std::string> events;
    size_t curves = 0;
    size_t objects = 0;
    for (std::string line; std::getline(lines, line); ++objects) {
        rapidjson::Document object;
        object.Parse(line.c_str());
        ASSERT_FALSE(object.HasParseError()) << line;
        ASSERT_TRUE(object.IsObject() && object.HasMember("time") && object["time"].IsString())
            << line;
        if (object.HasMember("id"))
            ids.insert(object["id"].GetUint());
        if (object.HasMember("event"))
            events.insert(object["event"].GetString());
        if (object.HasMember("curve")) {
            ++curves;
            EXPECT_EQ(object["records"].GetUint(), 180u) << line;
            EXPECT_FALSE(vextest::readFile(object["csv"].GetString()).empty()) << line;
        }
    }
    EXPECT_GT(objects, 10u);
    EXPECT_EQ(ids, (std::set<unsigned int>{1001, 1009})) << result.out;
    for (const char* kind : {"LineStatusChanged", "MoldSetPackAcknowledged", "MoldSetConfirmed",
                             "TriggerAcknowledged", "CurveSaved"})
        EXPECT_EQ(events.count(kind), 1u) << kind << "\n" << result.out;
    EXPECT_GE(curves, 1u);
    expect(run({"--json", "--ids", "1001,Nozzle"}), 2,
           "plchost: --ids: \"Nozzle\" is neither a data ID nor a name in " + kItems + "\n");
}

#ifndef _WIN32 // the commands come through a bash pipe
TEST_F(Plchost, ARunTakesOneShotCommandsOnStandardInputWhileValuesFlow)
{
    vextest::BackgroundProcess sim(plcsim({"--items", kItems, "--duration", "30"}));
    const auto result = vextest::runProcess(
        {"bash", "-c",
         "printf 'upload 2001\\nfrobnicate\\ndownload Injection stage 1 pressure=812.5\\nupload "
         "Screw speed\\naction 5\\n' | " +
             shellRun("--plain --duration 5")},
        60s);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    expectHas(result.out,
              {"plchost: \"frobnicate\" is not a command (upload ID|NAME, download ID|NAME=VALUE, "
               "action CODE)\n",
               "plchost: Injection stage 1 position (ID 2001) = 21222\n",
               "plchost: Injection stage 1 pressure (ID 2003) = 812.5\n",
               "plchost: Screw speed (ID 1014) = ", "plchost: action 5: state 1 (0x00000001)\n",
               "plchost: actual values flowing after "});
}
#endif

#ifndef _WIN32 // a pseudo-terminal through script(1)
// On a terminal the same commands come through the live screen's prompt. `script` gives the run
// a pseudo-terminal whose keyboard is the pipe; the keys may arrive before the link is up.
TEST_F(Plchost, TheLiveScreensPromptTakesTheSameCommands)
{
    vextest::BackgroundProcess sim(plcsim({"--items", kItems, "--duration", "30"}));
    const auto result = vextest::runProcess(
        {"bash", "-c",
         "printf ':upload 2001\\r:frob\\r:action 5\\x1b:action 5\\r' | script -qfec \"" +
             shellRun("--duration 5") + "\" /dev/null"},
        60s);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    const std::string log = vextest::readFile(out + "/plchost.log");
    expectHas(log,
              {"plchost: command: upload 2001\n",
               "plchost: \"frob\" is not a command (upload ID|NAME, download ID|NAME=VALUE, action "
               "CODE)\n",
               "plchost: Injection stage 1 position (ID 2001) = 21222\n",
               "plchost: action 5: state 1 (0x00000001)\n"});
    // Escape dropped the first "action 5": the PLC was asked once.
    EXPECT_EQ(log.find("command: action 5\n"), log.rfind("command: action 5\n")) << log;
}
#endif

} // namespace
