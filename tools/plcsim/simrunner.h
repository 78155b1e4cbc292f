// SPDX-License-Identifier: MIT
// Puts the PLC model on the network: a PlcPeer receives the host's datagrams and the model's
// answers, and everything the model sends on its own, go out through the fault injector. Counts
// what really went in and out, per type.
//
// Owns the peer, the model and the injector. receive runs in the peer's thread, step() in the
// caller's; one mutex serialises both, so every member may be called from any thread.
#ifndef SIMRUNNER_H
#define SIMRUNNER_H

#include "simoptions.h"

#include <chrono>
#include <memory>
#include <string>

namespace vexsim {

class SimRunnerPrivate;

class SimRunner {
public:
    using Clock = std::chrono::steady_clock;

    // Binds the PLC endpoint; throws std::runtime_error when that fails.
    SimRunner(const SimOptions& options, const ItemTable& items);
    ~SimRunner();
    SimRunner(const SimRunner&) = delete;
    SimRunner& operator=(const SimRunner&) = delete;

    uint16_t port() const;
    // Sends what is due by now: the model's own traffic and delayed datagrams.
    void step();
    // The time by which step() should run again.
    Clock::time_point nextStep() const;
    void raiseAlarm();
    void changeMold();
    // One line: datagrams in and out, in all and per type, alarms answered, triggered packets
    // confirmed, faults.
    std::string summary() const;

private:
    SimRunnerPrivate* d_func() { return _d.get(); }
    const SimRunnerPrivate* d_func() const { return _d.get(); }
    std::unique_ptr<SimRunnerPrivate> _d;
};

} // namespace vexsim

#endif // SIMRUNNER_H
