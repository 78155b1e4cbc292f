// SPDX-License-Identifier: MIT
#include "pcapwriter.h"

#include "toolsocket.h"

#ifdef VEXPLC_HAVE_PCAP
#include <pcap/pcap.h>
#endif

#include <algorithm>
#include <chrono>
#include <mutex>
#include <stdexcept>

namespace vexsim {

#ifdef VEXPLC_HAVE_PCAP

namespace {

constexpr size_t kIpHeadSize = 20;
constexpr size_t kUdpHeadSize = 8;
constexpr size_t kMaxPayload = 65535 - kIpHeadSize - kUdpHeadSize;
constexpr uint8_t kUdpProtocol = 17;

void putBig16(std::string& out, size_t at, uint16_t value)
{
    out[at] = static_cast<char>(value >> 8);
    out[at + 1] = static_cast<char>(value & 0xFF);
}

void putBig32(std::string& out, size_t at, uint32_t value)
{
    putBig16(out, at, static_cast<uint16_t>(value >> 16));
    putBig16(out, at + 2, static_cast<uint16_t>(value & 0xFFFF));
}

uint16_t headerChecksum(const std::string& head)
{
    uint32_t sum = 0;
    for (size_t i = 0; i + 1 < head.size(); i += 2)
        sum += (static_cast<uint32_t>(static_cast<unsigned char>(head[i])) << 8) |
               static_cast<unsigned char>(head[i + 1]);
    while (sum > 0xFFFF)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint16_t>(~sum & 0xFFFF);
}

// IPv4 head (no options, not fragmented, TTL 64) and UDP head; the UDP checksum 0 means "none",
// which IPv4 allows.
std::string ipUdpHead(const UdpEndpoint& from, const UdpEndpoint& to, size_t payloadSize)
{
    std::string head(kIpHeadSize + kUdpHeadSize, '\0');
    head[0] = 0x45;
    putBig16(head, 2, static_cast<uint16_t>(kIpHeadSize + kUdpHeadSize + payloadSize));
    head[8] = 64;
    head[9] = static_cast<char>(kUdpProtocol);
    putBig32(head, 12, from.address);
    putBig32(head, 16, to.address);
    putBig16(head, 10, headerChecksum(head.substr(0, kIpHeadSize)));
    putBig16(head, kIpHeadSize, from.port);
    putBig16(head, kIpHeadSize + 2, to.port);
    putBig16(head, kIpHeadSize + 4, static_cast<uint16_t>(kUdpHeadSize + payloadSize));
    return head;
}

} // namespace

class PcapWriterPrivate {
public:
    std::mutex mutex;
    pcap_t* handle = nullptr;
    pcap_dumper_t* dumper = nullptr;
};

PcapWriter::PcapWriter(const std::string& path) : _d(std::make_unique<PcapWriterPrivate>())
{
    _d->handle = pcap_open_dead(DLT_RAW, 65535);
    if (_d->handle == nullptr)
        throw std::runtime_error("--pcap " + path + ": libpcap cannot make a raw IPv4 capture");
    _d->dumper = pcap_dump_open(_d->handle, path.c_str());
    if (_d->dumper == nullptr) {
        const std::string reason = pcap_geterr(_d->handle);
        pcap_close(_d->handle);
        throw std::runtime_error("--pcap " + path + ": cannot be written: " + reason);
    }
}

PcapWriter::~PcapWriter()
{
    pcap_dump_close(_d->dumper);
    pcap_close(_d->handle);
}

void PcapWriter::write(const UdpEndpoint& from, const UdpEndpoint& to, const std::string& payload)
{
    const size_t kept = std::min(payload.size(), kMaxPayload);
    std::string packet = ipUdpHead(from, to, kept);
    packet.append(payload, 0, kept);
    pcap_pkthdr header{};
    const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
    const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(sinceEpoch).count();
    header.ts.tv_sec = static_cast<decltype(header.ts.tv_sec)>(micros / 1000000);
    header.ts.tv_usec = static_cast<decltype(header.ts.tv_usec)>(micros % 1000000);
    header.caplen = static_cast<bpf_u_int32>(packet.size());
    header.len = header.caplen;
    std::lock_guard<std::mutex> lock(_d->mutex);
    pcap_dump(reinterpret_cast<u_char*>(_d->dumper), &header,
              reinterpret_cast<const u_char*>(packet.data()));
}

void PcapWriter::flush()
{
    std::lock_guard<std::mutex> lock(_d->mutex);
    pcap_dump_flush(_d->dumper);
}

#else

// A build without libpcap (the Windows one) has no captures; asking for one is an input error.
class PcapWriterPrivate {};

PcapWriter::PcapWriter(const std::string& path)
{
    throw std::runtime_error("--pcap " + path + ": this build of plcsim has no libpcap");
}

PcapWriter::~PcapWriter() = default;

void PcapWriter::write(const UdpEndpoint&, const UdpEndpoint&, const std::string&) {}

void PcapWriter::flush() {}

#endif

uint32_t parseIpv4(const std::string& text)
{
    in_addr address{};
    if (inet_pton(AF_INET, text.c_str(), &address) != 1)
        throw std::invalid_argument("'" + text + "' is not an IPv4 address");
    return ntohl(address.s_addr);
}

} // namespace vexsim
