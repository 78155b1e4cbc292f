// SPDX-License-Identifier: MIT
// A capture file of the link, for Wireshark: every datagram as an IPv4/UDP packet with its time
// stamp, written through libpcap's dump API (raw IPv4 link type, so no Ethernet head is made up).
//
// Owns the open file until destruction. write() takes a lock, so the receive thread and the
// sending thread may write at once; each packet reaches the file whole.
#ifndef PCAPWRITER_H
#define PCAPWRITER_H

#include "udpendpoint.h"

#include <cstdint>
#include <memory>
#include <string>

namespace vexsim {

class PcapWriterPrivate;

class PcapWriter {
public:
    // Creates or truncates `path`; throws std::runtime_error naming the file and the reason.
    explicit PcapWriter(const std::string& path);
    ~PcapWriter();
    PcapWriter(const PcapWriter&) = delete;
    PcapWriter& operator=(const PcapWriter&) = delete;

    // One datagram from `from` to `to`, stamped with the current wall-clock time. A payload longer
    // than an IPv4 packet can carry is cut to fit.
    void write(const UdpEndpoint& from, const UdpEndpoint& to, const std::string& payload);
    // Writes what is buffered to the file, so that a reader sees every packet written so far.
    void flush();

private:
    std::unique_ptr<PcapWriterPrivate> _d;
};

// "a.b.c.d" to a host-order address; throws std::invalid_argument for anything else.
uint32_t parseIpv4(const std::string& text);

} // namespace vexsim

#endif // PCAPWRITER_H
