// SPDX-License-Identifier: MIT
// The model of the PLC: answers every request of the host and produces what a PLC sends on its
// own (actual values, triggered data and curves, alarms, resends of unconfirmed data). It holds
// no socket and reads no clock: the caller passes each datagram and the current time in and sends
// what comes back, so that a run is fully determined by its inputs and its seed.
//
// Not thread-safe: the owner serialises all calls (plcsim does so with one mutex).
#ifndef PLCSIMULATOR_H
#define PLCSIMULATOR_H

#include "itemtable.h"
#include "plcreply.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vexsim {

struct SimulatorOptions {
    // Line status requests of another version are answered with 65535. The default is the version
    // of examples/common.json.
    uint16_t version = 1;
    std::chrono::milliseconds shotInterval{2000};
    std::chrono::milliseconds alarmInterval{0};      // 0: alarms only on demand
    std::chrono::milliseconds moldChangeInterval{0}; // 0: mold changes only on demand
    std::chrono::milliseconds confirmTimeout{500};   // before unconfirmed triggered data is resent
    int maxResends = 5;
    // Trigger definitions that make the table complete; 0: complete once definitions stop coming.
    int expectedTriggers = 0;
    int failGroup = -1; // this group is answered with a data request error for its first ID
    uint32_t seed = 1;
};

struct SimulatorCounters {
    uint64_t malformed = 0;
    uint64_t unknownType = 0;
    uint64_t freshDownloadsAsked = 0; // line status answers of 1
    uint64_t moldSetsConfirmed = 0;
    uint64_t alarmsRaised = 0;
    uint64_t alarmsAnswered = 0;
    uint64_t triggeredSent = 0;
    uint64_t triggeredResent = 0;
    uint64_t triggeredConfirmed = 0;
    uint64_t triggeredAbandoned = 0;
};

class PlcSimulatorPrivate;

class PlcSimulator {
public:
    using Clock = std::chrono::steady_clock;

    // Line status codes the PLC answers with.
    enum Status : int32_t { WantsMoldSet = 1, Downloading = 2, Ready = 3, VersionMismatch = 65535 };

    PlcSimulator(const SimulatorOptions& options, const ItemTable& items, Clock::time_point start);
    ~PlcSimulator();
    PlcSimulator(const PlcSimulator&) = delete;
    PlcSimulator& operator=(const PlcSimulator&) = delete;

    // The datagrams that answer one datagram of the host (none for what needs no answer).
    std::vector<std::string> receive(const std::string& datagram, Clock::time_point now);
    // What is due by `now` on the PLC's own account: actual values, shots, alarms, resends.
    std::vector<std::string> advance(Clock::time_point now);
    // An alarm packet, raised at once.
    std::string raiseAlarm();
    // Forgets the mold set and the triggers; the next line status answer asks for a download.
    void changeMold();

    // The code of the last line status answer; 0 before the first.
    int32_t lineStatus() const;
    size_t heldMoldValues() const;
    std::vector<uint16_t> triggerGroups() const;
    // The data IDs the PLC collects for `group` (failed IDs left out); empty for an unknown group.
    std::vector<uint32_t> triggerDataIDs(uint16_t group) const;
    bool parameter(uint32_t id, Record& record) const;
    size_t unconfirmedTriggered() const;
    const SimulatorCounters& counters() const;

private:
    PlcSimulatorPrivate* d_func() { return _d.get(); }
    const PlcSimulatorPrivate* d_func() const { return _d.get(); }
    std::unique_ptr<PlcSimulatorPrivate> _d;
};

} // namespace vexsim

#endif // PLCSIMULATOR_H
