// SPDX-License-Identifier: MIT
// plchost as a user meets it: exit codes and the messages on standard error for bad input, and
// the one-shot commands against a running plcsim.
#include "childprocess.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

const std::string kExampleCommon = VEXPLC_SOURCE_DIR "/examples/common.json";
const std::string kExampleItems = VEXPLC_SOURCE_DIR "/examples/items.json";

vextest::ProcessResult plchost(const std::vector<std::string>& arguments)
{
    std::vector<std::string> argv = {PLCHOST_BINARY};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return vextest::runProcess(argv, 60s);
}

// The example common file with the given ports.
std::string commonWithPorts(unsigned int hostPort, unsigned int plcPort)
{
    std::string text = vextest::readFile(kExampleCommon);
    for (const auto& [from, to] : {std::pair<std::string, unsigned int>{"30001", hostPort},
                                   std::pair<std::string, unsigned int>{"30002", plcPort}}) {
        const size_t at = text.find("\"Port\": " + from);
        EXPECT_NE(at, std::string::npos);
        text.replace(at + 8, from.size(), std::to_string(to));
    }
    return text;
}

// Holds a UDP port on 127.0.0.1 for as long as it lives.
class TakenPort {
public:
    TakenPort() : _fd(socket(AF_INET, SOCK_DGRAM, 0))
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        EXPECT_EQ(bind(_fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        getsockname(_fd, reinterpret_cast<sockaddr*>(&address), &length);
        _port = ntohs(address.sin_port);
    }
    ~TakenPort() { close(_fd); }
    TakenPort(const TakenPort&) = delete;
    TakenPort& operator=(const TakenPort&) = delete;
    unsigned int port() const { return _port; }

private:
    int _fd;
    unsigned int _port = 0;
};

class PlchostCommandLine : public testing::Test {
protected:
    std::string write(const std::string& name, const std::string& content)
    {
        const std::string path = _folder.path() + "/" + name;
        vextest::writeFile(path, content);
        return path;
    }
    vextest::TempFolder _folder;
};

TEST_F(PlchostCommandLine, CheckExitsZeroForAUsableFileOnly)
{
    const auto good = plchost({"check", kExampleCommon, "--items", kExampleItems});
    EXPECT_EQ(good.exitCode, 0) << good.err;
    EXPECT_NE(good.out.find("Verdict: usable\n"), std::string::npos) << good.out;

    const std::string broken = write("broken.json", "[{\"Type\": {\"ID\": 7}}]");
    const auto bad = plchost({"check", broken});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_NE(bad.out.find("Verdict: not usable\n"), std::string::npos) << bad.out;
    EXPECT_EQ(bad.err, "plchost: " + broken +
                           " is not usable: no protocol section ({\"Protocol\": {...}}): the "
                           "source has no endpoints and sets up no socket (and 1 more error, see "
                           "the report)\n");
}

TEST_F(PlchostCommandLine, CheckNamesAFolderOrAnEmptyFileForWhatItIs)
{
    const auto folder = plchost({"check", _folder.path()});
    EXPECT_EQ(folder.exitCode, 1);
    EXPECT_EQ(folder.err, "plchost: " + _folder.path() + " is not usable: " + _folder.path() +
                              ": cannot read the file: it is a directory\n");

    const std::string empty = write("empty.json", "\n  \n");
    const auto blank = plchost({"check", empty});
    EXPECT_EQ(blank.exitCode, 1);
    EXPECT_EQ(blank.err, "plchost: " + empty + " is not usable: " + empty +
                             ": the file is empty (a JSON array was expected)\n");

    const auto items = plchost({"check", kExampleCommon, "--items", _folder.path()});
    EXPECT_EQ(items.exitCode, 2);
    EXPECT_EQ(items.err,
              "plchost: " + _folder.path() + ": cannot read the file: it is a directory\n");
}

TEST_F(PlchostCommandLine, CheckNamesTheLineAndColumnOfASyntaxError)
{
    const std::string broken = write("syntax.json", "[\n  {\"Type\": {\"ID\": 7,}}\n]\n");
    const auto result = plchost({"check", broken});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "plchost: " + broken + " is not usable: " + broken +
                              ":2:21: JSON syntax error: Missing a name for object member.\n");
}

TEST_F(PlchostCommandLine, ADoubleDashEndsTheOptionsAndValuesMayFollowAnEqualsSign)
{
    const auto result = plchost({"action", kExampleCommon, "--timeout=0.5", "--", "--5"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.err, "plchost: \"--5\" is not an action code (an unsigned 32-bit number)\n");
}

TEST_F(PlchostCommandLine, UsageErrorsShowTheUsage)
{
    const auto result = plchost({"run", kExampleCommon});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.err.rfind("plchost: \"run\" needs --items ITEMS\nusage:\n", 0), 0u)
        << result.err;
}

TEST_F(PlchostCommandLine, RunRefusesATakenSrcPortAndNamesIt)
{
    TakenPort taken;
    const std::string common = write("common.json", commonWithPorts(taken.port(), 9));
    const auto result = plchost({"run", common, "--items", kExampleItems, "--duration", "1",
                                 "--plain", "--out", _folder.path() + "/out"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.err, "plchost: cannot use 127.0.0.1:" + std::to_string(taken.port()) +
                              " (the \"Src\" endpoint of " + common +
                              "): Address already in use\n");
}

TEST_F(PlchostCommandLine, RunNamesAnUnreadableItemsFile)
{
    const auto result = plchost({"run", kExampleCommon, "--items", "/nonexistent/items.json"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.err, "plchost: /nonexistent/items.json: cannot read the file: No such file "
                          "or directory\n");
}

TEST_F(PlchostCommandLine, RunRefusesItemsThatLeaveTheMoldSetWithoutValues)
{
    const std::string items = write("items.json", R"([
      {"ID": 2001, "Name": "Stage 1 position", "DataType": 4}
    ])");
    const auto result = plchost({"run", kExampleCommon, "--items", items, "--plain"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find("  error: " + items +
                              ": mold set ID 2001 (Stage 1 position) has no "
                              "\"Value\": its pack would be sent again forever\n"),
              std::string::npos)
        << result.err;
}

TEST_F(PlchostCommandLine, OneShotCommandsNameUnknownTargetsAndBadValues)
{
    const auto unknown = plchost({"upload", kExampleCommon, "--items", kExampleItems, "Nozzle"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_EQ(unknown.err,
              "plchost: \"Nozzle\" is neither a data ID nor a name in " + kExampleItems + "\n");

    const auto range =
        plchost({"download", kExampleCommon, "--items", kExampleItems, "Machine mode=300"});
    EXPECT_EQ(range.exitCode, 2);
    EXPECT_EQ(range.err, "plchost: 300 does not fit Machine mode (ID 1020, data type 1: signed "
                         "8-bit)\n");

    const auto code = plchost({"action", kExampleCommon, "start"});
    EXPECT_EQ(code.exitCode, 2);
    EXPECT_EQ(code.err, "plchost: \"start\" is not an action code (an unsigned 32-bit number)\n");
}

// The one-shot commands against a running plcsim on free ports.
class PlchostWithSimulator : public PlchostCommandLine {
protected:
    void SetUp() override
    {
        const auto ports = vextest::freeUdpPorts(2);
        const unsigned int hostPort = ports[0];
        const unsigned int plcPort = ports[1];
        _common = write("common.json", commonWithPorts(hostPort, plcPort));
        _sim = std::make_unique<vextest::BackgroundProcess>(std::vector<std::string>{
            PLCSIM_BINARY, "--bind", "127.0.0.1:" + std::to_string(plcPort), "--host",
            "127.0.0.1:" + std::to_string(hostPort), "--version", "1", "--items", kExampleItems,
            "--duration", "60"});
    }

    vextest::ProcessResult oneShot(const std::string& command,
                                   const std::vector<std::string>& targets)
    {
        std::vector<std::string> arguments = {command,       _common,     "--items",
                                              kExampleItems, "--timeout", "10"};
        arguments.insert(arguments.end(), targets.begin(), targets.end());
        return plchost(arguments);
    }

    std::string _common;
    std::unique_ptr<vextest::BackgroundProcess> _sim;
};

TEST_F(PlchostWithSimulator, UploadPrintsWhatThePlcHolds)
{
    // The PLC holds the mold set the host downloaded on start-up.
    const auto result = oneShot("upload", {"2001", "Injection stage 1 pressure"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("plchost: Injection stage 1 position (ID 2001) = 21222\n"),
              std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("plchost: Injection stage 1 pressure (ID 2003) = 0\n"),
              std::string::npos)
        << result.out;
}

TEST_F(PlchostWithSimulator, DownloadIsReadBack)
{
    const auto result = oneShot("download", {"Screw speed=130", "1009=812.5"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("plchost: Injection pressure (ID 1009): wrote 812.5, the PLC reads "
                              "back 812.5\n"),
              std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("plchost: Screw speed (ID 1014): wrote 130, the PLC reads back "
                              "130\n"),
              std::string::npos)
        << result.out;
}

TEST_F(PlchostWithSimulator, ActionReportsTheStates)
{
    const auto result = oneShot("action", {"5", "6"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("PLC Action: 22\n"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("plchost: action 5: state 1 (0x00000001, done)\n"), std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("plchost: action 6: state "), std::string::npos) << result.out;
}

TEST_F(PlchostWithSimulator, AFailedActionFailsTheCommand)
{
    // plcsim refuses the action code 0.
    const auto result = oneShot("action", {"5", "0"});
    EXPECT_EQ(result.exitCode, 1) << result.err;
    EXPECT_NE(result.out.find("plchost: action 0: state 2147483648 (0x80000000, failed: bit 31 "
                              "set)\n"),
              std::string::npos)
        << result.out;
    EXPECT_EQ(result.err, "plchost: the PLC reports 1 of 2 action(s) as failed (bit 31 of the "
                          "state set)\n");
}

TEST_F(PlchostWithSimulator, AFloatOfDataType7IsWrittenExactly)
{
    // Nozzle temperature is data type 7: its value must travel as a float, like type 8.
    const auto result = oneShot("download", {"Nozzle temperature=250.5"});
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_NE(result.out.find("plchost: Nozzle temperature (ID 1005): wrote 250.5, the PLC reads "
                              "back 250.5\n"),
              std::string::npos)
        << result.out;
}

TEST_F(PlchostWithSimulator, UploadOfAMoldSetIDRightAfterTheStartKeepsTheDownloadWhole)
{
    // Sent at once, the request was dropped when the PLC asked for the mold set, and clearing
    // the value of 2001 cut it out of the mold set packs, which then never got acknowledged.
    const auto result = plchost({"upload", _common, "--items", kExampleItems, "2001"});
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_NE(result.out.find("plchost: Injection stage 1 position (ID 2001) = 21222\n"),
              std::string::npos)
        << result.out;
}

TEST_F(PlchostWithSimulator, AnIDThePlcDoesNotHoldIsNamedOnce)
{
    const auto result = oneShot("upload", {"99999"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "plchost: ID 99999: no valid value from the PLC within 10.0 s (no "
                          "answer, or the PLC does not hold this ID)\n");
}

TEST_F(PlchostCommandLine, RunFailsAndSaysWhyWhenThePlcNeverAnswers)
{
    const auto ports = vextest::freeUdpPorts(2);
    const std::string common = write("common.json", commonWithPorts(ports[0], ports[1]));
    const auto result = plchost({"run", common, "--items", kExampleItems, "--duration", "1.5",
                                 "--plain", "--out", _folder.path() + "/out"});
    EXPECT_EQ(result.exitCode, 1) << result.out;
    EXPECT_NE(result.out.find("plchost: link: final state 0 (offline); never reached state 3"),
              std::string::npos)
        << result.out;
    EXPECT_EQ(result.err, "plchost: the link never came up in 1.5 s (state 0: offline): no "
                          "datagram came from the PLC at 127.0.0.1:" +
                              std::to_string(ports[1]) + " (\"Host\" in " + common +
                              "); check that the PLC (or plcsim) runs there and answers to "
                              "127.0.0.1:" +
                              std::to_string(ports[0]) + " (\"Src\")\n");
}

TEST_F(PlchostCommandLine, RunFailsAndSaysWhyWhenThePlcSpeaksAnotherVersion)
{
    const auto ports = vextest::freeUdpPorts(2);
    const std::string common = write("common.json", commonWithPorts(ports[0], ports[1]));
    vextest::BackgroundProcess sim(
        {PLCSIM_BINARY, "--bind", "127.0.0.1:" + std::to_string(ports[1]), "--host",
         "127.0.0.1:" + std::to_string(ports[0]), "--version", "2", "--duration", "30"});
    const auto result = plchost({"run", common, "--items", kExampleItems, "--duration", "2.5",
                                 "--plain", "--out", _folder.path() + "/out"});
    EXPECT_EQ(result.exitCode, 1) << result.out;
    EXPECT_NE(result.out.find("plchost: link state 65535: version mismatch: the PLC refuses "
                              "protocol version 1\n"),
              std::string::npos)
        << result.out;
    EXPECT_EQ(result.err, "plchost: the link never came up in 2.5 s (state 65535: version "
                          "mismatch): the PLC at 127.0.0.1:" +
                              std::to_string(ports[1]) +
                              " refuses protocol version 1 (\"Version\" in " + common + ")\n");
}

TEST_F(PlchostCommandLine, RunReportsTheTriggerGroupThePlcAnsweredWithAnError)
{
    const auto ports = vextest::freeUdpPorts(2);
    const std::string common = write("common.json", commonWithPorts(ports[0], ports[1]));
    vextest::BackgroundProcess sim(
        {PLCSIM_BINARY, "--bind", "127.0.0.1:" + std::to_string(ports[1]), "--host",
         "127.0.0.1:" + std::to_string(ports[0]), "--items", kExampleItems, "--fail-group", "5",
         "--triggers", "3", "--shot-interval", "500", "--duration", "30"});
    const auto result = plchost({"run", common, "--items", kExampleItems, "--duration", "3",
                                 "--plain", "--out", _folder.path() + "/out"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    const std::string& out = result.out;
    // The library's own lines still pass, followed by what they mean.
    EXPECT_NE(out.find("groupID: 5 plc trigger data request error\n"), std::string::npos) << out;
    EXPECT_NE(out.find("plchost: trigger group 5 acknowledged with an error: data request "
                       "error\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("plchost: trigger group 5: the PLC does not collect data ID 4101 (Reject "
                       "counter, error code 2)\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("group 5: "), std::string::npos);
    EXPECT_NE(out.find(" updates (data request error; the PLC does not collect 4101 (error 2))"),
              std::string::npos)
        << out;
}

TEST_F(PlchostCommandLine, OneShotCommandsNameTheSilentPlc)
{
    const auto ports = vextest::freeUdpPorts(2);
    const std::string common = write("common.json", commonWithPorts(ports[0], ports[1]));
    const auto result = plchost({"upload", common, "--timeout", "0.5", "2001"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "plchost: the link did not come up within 1.5 s (state 0: offline), so "
                          "nothing was sent: no datagram came from the PLC at 127.0.0.1:" +
                              std::to_string(ports[1]) + " (\"Host\" in " + common +
                              "); check that the PLC (or plcsim) runs there and answers to "
                              "127.0.0.1:" +
                              std::to_string(ports[0]) + " (\"Src\")\n");
}

} // namespace
