// SPDX-License-Identifier: MIT
// A communication source talking to a PLC test peer over 127.0.0.1, with a generated common file.
#ifndef PLCCOMMONFIXTURE_H
#define PLCCOMMONFIXTURE_H

#include "plcpeer.h"
#include "vexcontroldatafactory.h"
#include "vexdbstoragefactory.h"
#include "vexparseplccommon.h"
#include "vexplccommon.h"
#include "vextestsupport.h"

#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace plccommontest {

using namespace std::chrono_literals;
namespace reply = vexsim::reply;
using Orrery::CvexPlcEvent;
using Orrery::CvexVariant;
using Events = std::vector<CvexPlcEvent>;

// Generous enough for the sanitizer builds; waits end as soon as the event happens.
constexpr std::chrono::milliseconds kDeadline = 10s;
constexpr unsigned int kCycleTime = 300;
constexpr unsigned int kFirstMoldID = 2001;
constexpr unsigned int kMoldCount = 120;

inline std::vector<unsigned int> idRange(unsigned int first, unsigned int count)
{
    std::vector<unsigned int> ids;
    for (unsigned int i = 0; i < count; ++i)
        ids.push_back(first + i);
    return ids;
}

inline std::string jsonList(const std::vector<unsigned int>& values)
{
    std::string text;
    for (unsigned int value : values)
        text += (text.empty() ? "" : ", ") + std::to_string(value);
    return "[" + text + "]";
}

// Little-endian words of a datagram; all ones past its end.
inline uint16_t le16(const std::string& bytes, size_t pos)
{
    return bytes.size() < pos + 2
               ? 0xFFFF
               : static_cast<uint16_t>(uint8_t(bytes[pos]) | uint8_t(bytes[pos + 1]) << 8);
}

inline uint32_t le32(const std::string& bytes, size_t pos)
{
    return le16(bytes, pos) | static_cast<uint32_t>(le16(bytes, pos + 2)) << 16;
}

inline long countStartingWith(const std::vector<std::string>& lines, const std::string& prefix)
{
    return std::count_if(lines.begin(), lines.end(),
                         [&](const std::string& line) { return line.rfind(prefix, 0) == 0; });
}

// An event as "kind code value", for readable comparisons.
inline std::string show(const CvexPlcEvent& event)
{
    static const char* const names[] = {
        "LineStatusChanged",   "MoldSetPackAcknowledged", "MoldSetConfirmed", "MoldSetRefused",
        "TriggerAcknowledged", "TriggerRefused",          "AlarmReceived",    "TriggeredDataStored",
        "CurveSaved",          "ParameterReplyStored",    "ActionAnswered",   "Retransmitted",
        "DuplicateIgnored",    "SendQueueOverflow",       "BindFailed",       "VersionMismatch",
        "EventsDropped"};
    return std::string(names[event.kind]) + " " + std::to_string(event.code) + " " +
           std::to_string(event.value);
}

inline std::vector<std::string> shown(const Events& events, std::vector<CvexPlcEvent::Kind> kinds)
{
    std::vector<std::string> lines;
    for (const CvexPlcEvent& event : events) {
        if (std::find(kinds.begin(), kinds.end(), event.kind) != kinds.end())
            lines.push_back(show(event));
    }
    return lines;
}

// A common file; by default one block of the 120 stored mold set items and three triggers.
struct CommonFile {
    unsigned int cycleTime = kCycleTime;
    uint16_t sourcePort = 0; // the system picks the port when the source binds
    bool withHost = true;
    bool withLineStatus = true;
    bool withActual = true;
    std::map<unsigned int, std::vector<unsigned int>> moldBlocks{
        {1, idRange(kFirstMoldID, kMoldCount)}};
    std::vector<std::pair<unsigned int, std::vector<unsigned int>>> triggers{
        {1, {301}}, {2, {302, 303}}, {3, {304}}};

    std::string text(uint16_t hostPort) const
    {
        const auto endpoint = [](const char* key, uint16_t port) {
            return std::string(", \"") + key +
                   "\": { \"IP\": \"127.0.0.1\", \"Port\": " + std::to_string(port) + " }";
        };
        std::ostringstream text;
        text << "[ { \"Protocol\": { \"Version\": 2, \"Private\": 5" << endpoint("Src", sourcePort)
             << (withHost ? endpoint("Host", hostPort) : "") << " } }";
        if (withLineStatus)
            text << ", { \"Type\": { \"ID\": 7, \"CycleTime\": " << cycleTime << " } }";
        if (withActual)
            text << ", { \"Type\": { \"ID\": 1, \"CycleTime\": 100, \"DataIDList\": [101, 102, "
                    "103] } }";
        text << ", { \"Type\": { \"ID\": 9, \"MoldList\": [";
        for (const auto& block : moldBlocks)
            text << (block == *moldBlocks.begin() ? "" : ", ") << "{ \"Type\": " << block.first
                 << ", \"DataIDList\": " << jsonList(block.second) << " }";
        text << "] } }";
        for (const auto& trigger : triggers)
            text << ", { \"Type\": { \"ID\": 17, \"GroupID\": " << trigger.first
                 << ", \"OutTime\": 1000, \"DelayTime\": 0, \"SendCount\": 1, \"DataIDFlag\": 1, "
                 << "\"DataIDList\": " << jsonList(trigger.second) << " } }";
        return text.str() + " ]\n";
    }
};

template <typename Record> Record fromJson(const std::string& json)
{
    rapidjson::Document document;
    document.Parse(json.c_str());
    return Record(document);
}

class PlcCommonTest : public ::testing::Test {
protected:
    static Orrery::CvexAbstractDataStorage* storage()
    {
        return Orrery::CvexDBStorageFactory::instance()->get(2);
    }
    static Orrery::CvexAbstractControlData* controlData(int type)
    {
        return Orrery::CvexControlDataFactory::instance()->get(type);
    }
    // Compares with a hex pattern such as "99 88 ?? ??"; "??" stands for any byte.
    static ::testing::AssertionResult matchesPattern(const std::string& bytes,
                                                     const std::string& pattern)
    {
        const auto digits = [](std::string text) {
            text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
            return text;
        };
        const std::string got = digits(vextest::hex(bytes));
        const std::string want = digits(pattern);
        bool same = got.size() == want.size();
        for (size_t i = 0; same && i < got.size(); ++i)
            same = want[i] == got[i] || want[i] == '?';
        return same ? ::testing::AssertionSuccess()
                    : ::testing::AssertionFailure()
                          << "got      " << vextest::hex(bytes) << "\nexpected " << pattern;
    }

    void SetUp() override
    {
        storage()->clear();
        for (int type = 0; type < 3; ++type)
            controlData(type)->clear();
        for (unsigned int id : idRange(kFirstMoldID, kMoldCount))
            storage()->addItem(id, "mold" + std::to_string(id), 4, CvexVariant(int(id * 10)));
        source = std::make_unique<Orrery::CvexPlcCommon>();
    }
    void TearDown() override
    {
        source.reset();
        peer.setHandler({});
    }

    // A fresh source and storage, for the next row of a table.
    void nextRow()
    {
        TearDown();
        SetUp();
    }
    void configure(const CommonFile& content)
    {
        file = std::make_unique<vextest::TempFile>(content.text(peer.port()));
        source->setCommonFile(file->path());
    }
    // The source sends one datagram, so that the peer learns where it listens; the peer's log is
    // emptied afterwards.
    void link()
    {
        source->sendData(Orrery::CvexByteArray("link", 4));
        ASSERT_TRUE(peer.waitFor([](const auto& all) { return !all.empty(); }, kDeadline));
        peer.clearReceived();
    }
    // The sending thread begins by emptying the queue and taking the link down; its first poll
    // shows that this is done.
    void start(const CommonFile& content = CommonFile())
    {
        configure(content);
        ASSERT_NO_FATAL_FAILURE(link());
        source->start();
        ASSERT_TRUE(waitForMorePolls(1));
    }
    // Line status 3 through the whole start-up chain (mold set and the three triggers), or at
    // once from a PLC that holds its mold set already.
    void bringOnline(bool pending = true)
    {
        plcLineStatus = pending ? 2 : 3;
        answerLikePlc();
        start();
        ASSERT_TRUE(reaches(3));
        ASSERT_TRUE(!pending || peer.waitForCount(17, 3, kDeadline));
    }
    bool reaches(int lineStatus)
    {
        return vextest::waitUntil([&] { return source->lineStatus() == lineStatus; }, kDeadline);
    }
    void answerLikePlc()
    {
        peer.setHandler([this](const vexsim::Datagram& datagram) { answer(datagram); });
    }
    // Line status polls, mold set packs and status, trigger definitions.
    void answer(const vexsim::Datagram& datagram)
    {
        const std::string& bytes = datagram.bytes;
        if (datagram.type() == 7 && answerPolls) {
            sendReply(reply::lineStatus(plcLineStatus));
        } else if (datagram.type() == 9) {
            const int shortBy = shortMoldAcks.fetch_sub(1) > 0 ? 1 : 0;
            sendReply(reply::moldSetAck(static_cast<uint16_t>(le16(bytes, 10) - shortBy)));
        } else if (datagram.type() == 8) {
            plcLineStatus = 3;
            sendReply(reply::moldSetStatus(static_cast<int32_t>(le32(bytes, 12))));
        } else if (datagram.type() == 17) {
            const bool wrong = le16(bytes, 8) == 2 && wrongTriggerAcks.fetch_sub(1) > 0;
            sendReply(reply::triggerAck(wrong ? 99 : le16(bytes, 8)));
        }
    }
    // Sends as the PLC and counts what was sent, by type.
    void sendReply(const std::string& bytes)
    {
        if (peer.send(bytes)) {
            const std::lock_guard<std::mutex> lock(repliedMutex);
            ++replied[le16(bytes, 4)];
        }
    }
    std::map<int, std::uint64_t> repliedByType() const
    {
        const std::lock_guard<std::mutex> lock(repliedMutex);
        return replied;
    }
    bool waitForMorePolls(size_t n) { return peer.waitForCount(7, peer.count(7) + n, kDeadline); }
    // The group of every trigger definition sent, in order.
    std::vector<uint16_t> definedGroups() const
    {
        std::vector<uint16_t> groups;
        for (const vexsim::Datagram& definition : peer.received(17))
            groups.push_back(le16(definition.bytes, 8));
        return groups;
    }

    std::atomic<int> plcLineStatus{2};
    std::atomic<bool> answerPolls{true};
    std::atomic<int> shortMoldAcks{0};
    std::atomic<int> wrongTriggerAcks{0};

    mutable std::mutex repliedMutex;
    std::map<int, std::uint64_t> replied;

    vexsim::PlcPeer peer;
    std::unique_ptr<vextest::TempFile> file;
    std::unique_ptr<Orrery::CvexPlcCommon> source;
};

} // namespace plccommontest

#endif // PLCCOMMONFIXTURE_H
