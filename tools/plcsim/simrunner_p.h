// SPDX-License-Identifier: MIT
// Private data of SimRunner; not part of the runner's interface.
#ifndef SIMRUNNER_P_H
#define SIMRUNNER_P_H

#include "pcapwriter.h"
#include "plcpeer.h"
#include "simrunner.h"

#include <map>
#include <mutex>

namespace vexsim {

class SimRunnerPrivate {
public:
    SimRunnerPrivate(const SimOptions& simOptions, const ItemTable& items)
        : options(simOptions), start(SimRunner::Clock::now()),
          peer(simOptions.bindIp, simOptions.bindPort), model(simOptions.simulator, items, start),
          faults(simOptions.faults, start),
          capture(simOptions.pcapPath.empty() ? nullptr
                                              : std::make_unique<PcapWriter>(simOptions.pcapPath))
    {
    }

    void onDatagram(const Datagram& datagram);
    // Hands the model's output to the injector and sends what is due; called under `mutex`.
    void emit(const std::vector<std::string>& packets, SimRunner::Clock::time_point now);
    void log(const char* direction, const std::string& bytes) const;

    SimOptions options;
    SimRunner::Clock::time_point start;
    PlcPeer peer;
    mutable std::mutex mutex; // guards everything below
    PlcSimulator model;
    FaultInjector faults;
    std::map<uint16_t, uint64_t> in;
    std::map<uint16_t, uint64_t> out;
    uint64_t sendFailures = 0;
    std::unique_ptr<PcapWriter> capture; // null without --pcap
};

} // namespace vexsim

#endif // SIMRUNNER_P_H
