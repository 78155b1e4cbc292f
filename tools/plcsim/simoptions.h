// SPDX-License-Identifier: MIT
// The command line of plcsim, parsed into one plain value.
#ifndef SIMOPTIONS_H
#define SIMOPTIONS_H

#include "faultinjector.h"
#include "plcsimulator.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vexsim {

struct SimOptions {
    std::string bindIp = "127.0.0.1";
    uint16_t bindPort = 30002;
    std::string hostIp = "127.0.0.1";
    uint16_t hostPort = 30001;
    double durationSeconds = 0; // 0: until SIGINT or SIGTERM
    std::string itemsPath;
    std::string pcapPath; // empty: no capture
    bool verbose = false;
    bool help = false;
    bool version = false;
    SimulatorOptions simulator = withAlarms();
    FaultOptions faults;

private:
    static SimulatorOptions withAlarms()
    {
        SimulatorOptions simulator;
        simulator.alarmInterval = std::chrono::milliseconds(10000);
        return simulator;
    }
};

// Throws std::invalid_argument with a message that names the option and what was wrong.
SimOptions parseOptions(const std::vector<std::string>& arguments);
std::string usage();

} // namespace vexsim

#endif // SIMOPTIONS_H
