// SPDX-License-Identifier: MIT
// A communication source talking to a PLC test peer over 127.0.0.1, with a generated common file.
#ifndef PLCCOMMONFIXTURE_H
#define PLCCOMMONFIXTURE_H

#include "plcpeer.h"
#include "vexabstractcontroldata.h"
#include "vexabstractdatastorage.h"
#include "vexplccommon.h"
#include "vextestsupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace plccommontest {

using namespace std::chrono_literals;

// Generous enough for the sanitizer builds; waits end as soon as the event happens.
constexpr std::chrono::milliseconds kDeadline = 10s;
constexpr unsigned int kCycleTime = 300;
constexpr unsigned int kFirstMoldID = 2001;
constexpr unsigned int kMoldCount = 120;

struct CommonFile {
    unsigned int cycleTime = kCycleTime;
    bool withHost = true;
    bool withLineStatus = true;
    bool withActual = true;
    std::vector<unsigned int> actualIDs{101, 102, 103};
    std::map<unsigned int, std::vector<unsigned int>> moldBlocks;
    std::vector<std::pair<unsigned int, std::vector<unsigned int>>> triggers{
        {1, {301}}, {2, {302, 303}}, {3, {304}}};
};

// The source's "Src" endpoint is 127.0.0.1 port 0: the system picks its port when it binds.
std::string commonFileText(const CommonFile& file, uint16_t hostPort);
uint16_t le16(const std::string& bytes, size_t pos);
uint32_t le32(const std::string& bytes, size_t pos);
// Compares with a hex pattern such as "99 88 ?? ??"; "??" stands for any byte.
::testing::AssertionResult matchesPattern(const std::string& bytes, const std::string& pattern);
std::vector<unsigned int> moldIDs(unsigned int first, unsigned int count);
Orrery::CvexAbstractDataStorage* storage();
Orrery::CvexAbstractControlData* controlData(int type);

class PlcCommonTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    CommonFile defaultFile() const;
    void configure(const CommonFile& file);
    // The source sends one datagram, so that the peer learns where it listens; the peer's log is
    // emptied afterwards.
    void link();
    // Configures, links and starts the source, and waits for its first poll.
    void start(const CommonFile& file);
    // Starts with the scripted PLC and waits for the whole start-up chain.
    void bringOnline();
    // Answers like a PLC: line status polls, mold set packs and status, trigger definitions.
    void answerLikePlc();
    void answer(const vexsim::Datagram& datagram);
    // Waits until `n` more line status polls than `seen` have arrived.
    bool waitForPolls(size_t seen, size_t n);

    void startCapture();
    std::vector<std::string> stopCapture();
    int captured(const std::string& line) const;

    std::atomic<int> plcLineStatus{2};
    std::atomic<bool> answerPolls{true};
    std::atomic<int> shortMoldAcks{0};
    std::atomic<int> wrongTriggerAcks{0};

    vexsim::PlcPeer peer;
    std::unique_ptr<vextest::StdoutCapture> capture;
    std::unique_ptr<vextest::TempFile> file;
    std::unique_ptr<Orrery::CvexPlcCommon> source;
};

} // namespace plccommontest

#endif // PLCCOMMONFIXTURE_H
