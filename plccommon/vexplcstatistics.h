// SPDX-License-Identifier: MIT
#ifndef VEXPLCSTATISTICS_H
#define VEXPLCSTATISTICS_H

#include <cstdint>
#include <map>

namespace Orrery {

// What a communication source has counted since it was constructed, as returned by
// CvexPlcCommon::statistics(). A plain value: the snapshot is the host's, copy it and read it from
// any thread. The totals are the sums of the per-type counts of the same snapshot, and each pair
// of progress figures was read together, so the fields agree with one another.
class CvexPlcStatistics {
public:
    // Datagrams handed to the socket, and datagrams taken from it (the PLC's, and anything else
    // that reached the source's port).
    std::uint64_t datagramsSent = 0;
    std::uint64_t datagramsReceived = 0;
    // The same, by the type code at offset 4 (-1: a datagram too short to carry one; a received
    // datagram too short counts under 65535).
    std::map<int, std::uint64_t> sentByType;
    std::map<int, std::uint64_t> receivedByType;
    // Received datagrams a protocol parser refused, and those of a type no protocol handles.
    std::uint64_t malformedReceived = 0;
    std::uint64_t unknownReceived = 0;
    // Packets not queued because the send queue was full.
    std::uint64_t sendQueueDropped = 0;
    // Requests sent again for want of an answer, and received datagrams recognised as repeats.
    std::uint64_t retransmissions = 0;
    std::uint64_t duplicatesIgnored = 0;
    // Changes of lineStatus().
    std::uint64_t lineStatusChanges = 0;
    // Progress of the current or last mold set download, in packs of 50 values.
    std::uint64_t moldSetPacksAcknowledged = 0;
    std::uint64_t moldSetPacksTotal = 0;
    // Progress of the current or last trigger definition download.
    std::uint64_t triggersAcknowledged = 0;
    std::uint64_t triggersTotal = 0;
    // Milliseconds since the last datagram was received; -1 before the first.
    std::int64_t msSinceLastDatagram = -1;
};

} // namespace Orrery

#endif // VEXPLCSTATISTICS_H
