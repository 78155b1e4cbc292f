// SPDX-License-Identifier: MIT
// The capture file as a reader sees it: raw IPv4 link type, exact IPv4/UDP heads around each
// datagram, time stamps of the moment of writing, and a clear error for a file it cannot write.
#include "capturefile.h"
#include "childprocess.h"
#include "pcapwriter.h"
#include "simtest.h"

#include <sys/time.h>

namespace {

using vexsim::PcapWriter;
using vexsim::UdpEndpoint;

double seconds(const timeval& at)
{
    return static_cast<double>(at.tv_sec) + static_cast<double>(at.tv_usec) / 1e6;
}

TEST(PcapWriterTest, EveryDatagramIsAnIpv4UdpPacketWithExactHeadsAndItsTime)
{
    vextest::TempFolder folder;
    const std::string path = folder.path() + "/link.pcap";
    const UdpEndpoint host{vexsim::parseIpv4("127.0.0.1"), 30001};
    const UdpEndpoint plc{vexsim::parseIpv4("192.168.10.20"), 30002};
    timeval before{};
    gettimeofday(&before, nullptr);
    {
        PcapWriter writer(path);
        writer.write(host, plc, std::string("\x99\x88\x0a\x00", 4));
        writer.write(plc, host, std::string(300, 'x'));
    }
    timeval after{};
    gettimeofday(&after, nullptr);

    const auto capture = simtest::readCapture(path);
    const auto& packets = capture.packets;
    EXPECT_EQ(capture.linkType, DLT_RAW);
    ASSERT_EQ(packets.size(), 2u);
    // IPv4: version 4, 20-byte head, total 32, TTL 64, UDP, checksum 0x3110 (ones'-complement sum
    // of the head's ten words), 127.0.0.1 -> 192.168.10.20; UDP 30001 -> 30002, length 12.
    const std::string first("\x45\x00\x00\x20\x00\x00\x00\x00\x40\x11\x31\x10\x7f\x00\x00\x01"
                            "\xc0\xa8\x0a\x14\x75\x31\x75\x32\x00\x0c\x00\x00\x99\x88\x0a\x00",
                            32);
    EXPECT_EQ(packets[0], first);
    ASSERT_EQ(packets[1].size(), 328u);
    EXPECT_EQ(packets[1].substr(2, 2), std::string("\x01\x48", 2)); // total length 328
    EXPECT_EQ(packets[1].substr(20, 6), std::string("\x75\x32\x75\x31\x01\x34", 6));
    EXPECT_EQ(packets[1].substr(28), std::string(300, 'x'));
    for (const timeval& at : capture.times) {
        EXPECT_GE(seconds(at), seconds(before));
        EXPECT_LE(seconds(at), seconds(after));
    }
}

TEST(PcapWriterTest, AFileThatCannotBeWrittenIsNamedWithTheOption)
{
    const std::string error = simtest::errorOf<std::runtime_error>(
        [] { PcapWriter writer("/nonexistent-folder/link.pcap"); });
    EXPECT_EQ(error.rfind("--pcap /nonexistent-folder/link.pcap: cannot be written: ", 0), 0u)
        << error;
}

TEST(PcapWriterTest, AnAddressThatIsNoIpv4AddressIsRefused)
{
    EXPECT_EQ(vexsim::parseIpv4("10.1.2.3"), 0x0A010203u);
    EXPECT_THROW(vexsim::parseIpv4("10.1.2"), std::invalid_argument);
}

} // namespace
