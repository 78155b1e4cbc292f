// SPDX-License-Identifier: MIT
// A capture file as a reader sees it, for the tests of what plcsim captures.
#ifndef CAPTUREFILE_H
#define CAPTUREFILE_H

#include <gtest/gtest.h>
#include <pcap/pcap.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace simtest {

struct Capture {
    int linkType = 0;
    std::vector<std::string> packets; // IPv4 head, UDP head and datagram
    std::vector<timeval> times;
};

// Every packet must be captured whole; a file pcap cannot open throws.
inline Capture readCapture(const std::string& path)
{
    char error[PCAP_ERRBUF_SIZE] = {};
    pcap_t* handle = pcap_open_offline(path.c_str(), error);
    if (handle == nullptr)
        throw std::runtime_error(error);
    Capture capture{pcap_datalink(handle), {}, {}};
    pcap_pkthdr* header = nullptr;
    const u_char* data = nullptr;
    while (pcap_next_ex(handle, &header, &data) == 1) {
        EXPECT_EQ(header->caplen, header->len);
        capture.packets.emplace_back(reinterpret_cast<const char*>(data), header->caplen);
        capture.times.push_back(header->ts);
    }
    pcap_close(handle);
    return capture;
}

} // namespace simtest

#endif // CAPTUREFILE_H
