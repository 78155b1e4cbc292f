// SPDX-License-Identifier: MIT
#include "plccommonfixture.h"

#include "vexcontroldatafactory.h"
#include "vexdbstoragefactory.h"

#include <sstream>

namespace plccommontest {

namespace {

std::string jsonList(const std::vector<unsigned int>& values)
{
    std::ostringstream text;
    text << '[';
    for (size_t i = 0; i < values.size(); ++i) {
        text << (i ? ", " : "") << values[i];
    }
    text << ']';
    return text.str();
}

std::string endpoint(const char* key, uint16_t port)
{
    return std::string("\"") + key +
           "\": { \"IP\": \"127.0.0.1\", \"Port\": " + std::to_string(port) + " }";
}

} // namespace

std::string commonFileText(const CommonFile& file, uint16_t hostPort)
{
    std::ostringstream text;
    text << "[ { \"Protocol\": { \"Version\": 2, \"Private\": 5, " << endpoint("Src", 0);
    if (file.withHost) {
        text << ", " << endpoint("Host", hostPort);
    }
    text << " } },\n";
    if (file.withLineStatus) {
        text << "  { \"Type\": { \"ID\": 7, \"CycleTime\": " << file.cycleTime << " } },\n";
    }
    if (file.withActual) {
        text << "  { \"Type\": { \"ID\": 1, \"CycleTime\": 100, \"DataIDList\": "
             << jsonList(file.actualIDs) << " } },\n";
    }
    text << "  { \"Type\": { \"ID\": 9, \"MoldList\": [";
    const char* separator = "";
    for (const auto& block : file.moldBlocks) {
        text << separator << "{ \"Type\": " << block.first
             << ", \"DataIDList\": " << jsonList(block.second) << " }";
        separator = ", ";
    }
    text << "] } }";
    for (const auto& trigger : file.triggers) {
        text << ",\n  { \"Type\": { \"ID\": 17, \"GroupID\": " << trigger.first
             << ", \"OutTime\": 1000, \"DelayTime\": 0, \"SendCount\": 1, \"DataIDFlag\": 1, "
             << "\"DataIDList\": " << jsonList(trigger.second) << " } }";
    }
    text << " ]\n";
    return text.str();
}

uint16_t le16(const std::string& bytes, size_t pos)
{
    if (bytes.size() < pos + 2) {
        return 0xFFFF;
    }
    return static_cast<uint16_t>(static_cast<unsigned char>(bytes[pos]) |
                                 static_cast<unsigned char>(bytes[pos + 1]) << 8);
}

uint32_t le32(const std::string& bytes, size_t pos)
{
    return le16(bytes, pos) | static_cast<uint32_t>(le16(bytes, pos + 2)) << 16;
}

::testing::AssertionResult matchesPattern(const std::string& bytes, const std::string& pattern)
{
    std::istringstream expected(pattern);
    std::istringstream actual(vextest::hex(bytes));
    std::string want;
    std::string got;
    bool same = true;
    while (expected >> want) {
        same = same && (actual >> got) && (want == "??" || want == got);
    }
    same = same && !(actual >> got);
    if (same) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "got      " << vextest::hex(bytes) << "\nexpected " << pattern;
}

std::vector<unsigned int> moldIDs(unsigned int first, unsigned int count)
{
    std::vector<unsigned int> ids;
    for (unsigned int i = 0; i < count; ++i) {
        ids.push_back(first + i);
    }
    return ids;
}

Orrery::CvexAbstractDataStorage* storage()
{
    return Orrery::CvexDBStorageFactory::instance()->get(2);
}

Orrery::CvexAbstractControlData* controlData(int type)
{
    return Orrery::CvexControlDataFactory::instance()->get(type);
}

void PlcCommonTest::SetUp()
{
    storage()->clear();
    for (int type = 0; type < 3; ++type) {
        controlData(type)->clear();
    }
    for (unsigned int id : moldIDs(kFirstMoldID, kMoldCount)) {
        storage()->addItem(id, "mold" + std::to_string(id), 4,
                           Orrery::CvexVariant(static_cast<int>(id * 10)));
    }
    source = std::make_unique<Orrery::CvexPlcCommon>();
}

void PlcCommonTest::TearDown()
{
    source.reset();
    peer.setHandler({});
    capture.reset();
}

CommonFile PlcCommonTest::defaultFile() const
{
    CommonFile file;
    file.moldBlocks[1] = moldIDs(kFirstMoldID, kMoldCount);
    return file;
}

void PlcCommonTest::configure(const CommonFile& content)
{
    file = std::make_unique<vextest::TempFile>(commonFileText(content, peer.port()));
    source->setCommonFile(file->path());
}

void PlcCommonTest::link()
{
    source->sendData(Orrery::CvexByteArray("link", 4));
    ASSERT_TRUE(peer.waitFor([](const std::vector<vexsim::Datagram>& all) { return !all.empty(); },
                             kDeadline));
    peer.clearReceived();
}

void PlcCommonTest::start(const CommonFile& content)
{
    configure(content);
    ASSERT_NO_FATAL_FAILURE(link());
    source->start();
    // The sending thread begins by emptying the queue and taking the link down; its first poll
    // shows that this is behind it.
    ASSERT_TRUE(waitForPolls(0, 1));
}

void PlcCommonTest::bringOnline()
{
    answerLikePlc();
    start(defaultFile());
    ASSERT_TRUE(vextest::waitUntil([&] { return source->lineStatus() == 3; }, kDeadline));
    ASSERT_TRUE(peer.waitForCount(17, 3, kDeadline));
}

void PlcCommonTest::answerLikePlc()
{
    peer.setHandler([this](const vexsim::Datagram& datagram) { answer(datagram); });
}

void PlcCommonTest::answer(const vexsim::Datagram& datagram)
{
    namespace reply = vexsim::reply;
    const std::string& bytes = datagram.bytes;
    switch (datagram.type()) {
    case 7:
        if (answerPolls) {
            peer.send(reply::lineStatus(plcLineStatus));
        }
        break;
    case 9: {
        const int shortBy = shortMoldAcks.fetch_sub(1) > 0 ? 1 : 0;
        peer.send(reply::moldSetAck(static_cast<uint16_t>(le16(bytes, 10) - shortBy)));
        break;
    }
    case 8:
        plcLineStatus = 3;
        peer.send(reply::moldSetStatus(static_cast<int32_t>(le32(bytes, 12))));
        break;
    case 17: {
        const bool wrong = le16(bytes, 8) == 2 && wrongTriggerAcks.fetch_sub(1) > 0;
        peer.send(reply::triggerAck(wrong ? 99 : le16(bytes, 8)));
        break;
    }
    default:
        break;
    }
}

bool PlcCommonTest::waitForPolls(size_t seen, size_t n)
{
    return peer.waitForCount(7, seen + n, kDeadline);
}

void PlcCommonTest::startCapture()
{
    capture = std::make_unique<vextest::StdoutCapture>();
}

std::vector<std::string> PlcCommonTest::stopCapture()
{
    std::vector<std::string> lines = capture->lines();
    capture.reset();
    return lines;
}

int PlcCommonTest::captured(const std::string& line) const
{
    return capture ? capture->count(line) : 0;
}

} // namespace plccommontest
