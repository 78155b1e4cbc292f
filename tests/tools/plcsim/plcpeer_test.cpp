// SPDX-License-Identifier: MIT
#include "plcpeer.h"

#include "childprocess.h"
#include "vextestsupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>

namespace {

using namespace std::chrono_literals;
using vexsim::Datagram;
using vexsim::PlcPeer;
using vextest::hex;

const std::string kLineStatusRequest =
    vextest::bytes("99 88 14 00 07 00 2A 00 02 00 01 00 B8 0B 00 00 05 00 88 66");

TEST(Datagram, ShortBytesGiveTheDocumentedDefaults)
{
    EXPECT_EQ((Datagram{std::string(5, '\0'), {}}).type(), 0xFFFF);
    EXPECT_EQ((Datagram{std::string(7, '\0'), {}}).number(), 0);
    const Datagram request{kLineStatusRequest, {}};
    EXPECT_EQ(request.type(), 7);
    EXPECT_EQ(request.number(), 42);
}

TEST(PlcPeerBind, RejectsBadAddressAndPortInUse)
{
    EXPECT_THROW(PlcPeer("not-an-ip"), std::runtime_error);
    PlcPeer first;
    EXPECT_NE(first.port(), 0);
    EXPECT_THROW(PlcPeer("127.0.0.1", first.port()), std::runtime_error);
}

class PlcPeerLink : public ::testing::Test {
protected:
    PlcPeer peer;
    vextest::UdpSocket host;
};

TEST_F(PlcPeerLink, LogsDatagramsInArrivalOrderAndFiltersByType)
{
    EXPECT_FALSE(peer.send("x")) << "no host endpoint is known before the first datagram";
    for (const std::string& bytes :
         {kLineStatusRequest, vextest::bytes("99 88 0E 00 09 00 01 00 00 00 00 00 88 66"),
          kLineStatusRequest})
        host.sendTo(peer.port(), bytes);
    ASSERT_TRUE(peer.waitFor([](const auto& log) { return log.size() == 3; }, 5000ms));
    const auto all = peer.received();
    EXPECT_EQ(all[0].bytes, kLineStatusRequest);
    EXPECT_EQ(all[1].type(), 9);
    EXPECT_LE(all[0].at, all[2].at);
    EXPECT_EQ(peer.count(7), 2u);
    EXPECT_EQ(peer.received(9).size(), 1u);
    EXPECT_FALSE(peer.waitForCount(9, 2, 20ms));
    peer.clearReceived();
    EXPECT_TRUE(peer.received().empty());
}

TEST_F(PlcPeerLink, HandlerAnswersTheSenderOfTheLastDatagram)
{
    peer.setHandler([this](const Datagram& datagram) {
        if (datagram.type() == 7)
            peer.send(vexsim::reply::lineStatus(1, datagram.number()));
    });
    host.sendTo(peer.port(), kLineStatusRequest);
    EXPECT_EQ(hex(host.receive()), "88 55 14 00 EF 03 2A 00 00 00 01 00 01 00 00 00 00 00 88 66");
}

TEST_F(PlcPeerLink, FixedHostEndpointIsUsedBeforeAnyDatagram)
{
    peer.setHostEndpoint("127.0.0.1", static_cast<uint16_t>(host.port()));
    ASSERT_TRUE(peer.send(vexsim::reply::moldSetAck(3)));
    EXPECT_EQ(hex(host.receive()), "88 55 0E 00 F1 03 00 00 00 00 03 00 88 66");
}

TEST_F(PlcPeerLink, ReplacedHandlerIsNoLongerCalled)
{
    std::atomic<int> first{0};
    std::atomic<int> second{0};
    peer.setHandler([&](const Datagram&) { ++first; });
    host.sendTo(peer.port(), kLineStatusRequest);
    ASSERT_TRUE(vextest::waitUntil([&] { return first == 1; }));
    peer.setHandler([&](const Datagram&) { ++second; });
    host.sendTo(peer.port(), kLineStatusRequest);
    ASSERT_TRUE(vextest::waitUntil([&] { return second == 1; }));
    EXPECT_EQ(first, 1);
}

} // namespace
