// SPDX-License-Identifier: MIT
#include "simrunner.h"

#include "plcdecode.h"
#include "simrunner_p.h"

#include <iostream>
#include <sstream>

namespace vexsim {

namespace {

// The longest step() may wait, so that actual values keep their cycle within a few ms.
constexpr std::chrono::milliseconds kMaxStep{5};

std::string typeName(uint16_t type)
{
    switch (type) {
    case 1:
        return "actual subscription";
    case 2:
        return "read parameters";
    case 3:
        return "write parameters";
    case 6:
        return "actions";
    case 7:
        return "line status request";
    case 8:
        return "mold set status request";
    case 9:
        return "mold set pack";
    case 17:
        return "trigger definition";
    case 1001:
        return "actual values";
    case 1002:
        return "parameter values";
    case 1003:
        return "parameters written";
    case 1004:
        return "alarm";
    case 1006:
        return "action states";
    case 1007:
        return "line status";
    case 1008:
        return "mold set status";
    case 1009:
        return "mold set ack";
    case 1017:
        return "trigger ack";
    case 1018:
        return "triggered data";
    case 2004:
        return "alarm answer";
    case 2018:
        return "trigger confirmation";
    default:
        return "type " + std::to_string(type);
    }
}

// "29: line status request 9, mold set pack 3" in the order of the type codes.
std::string perType(const std::map<uint16_t, uint64_t>& counts)
{
    uint64_t total = 0;
    std::ostringstream text;
    const char* separator = ": ";
    for (const auto& entry : counts) {
        total += entry.second;
        text << separator << typeName(entry.first) << " " << entry.second;
        separator = ", ";
    }
    return std::to_string(total) + text.str();
}

} // namespace

void SimRunnerPrivate::log(const char* direction, const std::string& bytes) const
{
    if (!options.verbose)
        return;
    // One write per line, so lines of the two threads never interleave.
    std::cerr << (std::string(direction) + " " + describeDatagram(bytes) + "\n") << std::flush;
}

void SimRunnerPrivate::onDatagram(const Datagram& datagram)
{
    log("in ", datagram.bytes);
    std::lock_guard<std::mutex> lock(mutex);
    if (capture)
        capture->write(datagram.from, peer.endpoint(), datagram.bytes);
    ++in[datagram.type()];
    const auto now = SimRunner::Clock::now();
    emit(model.receive(datagram.bytes, now), now);
}

void SimRunnerPrivate::emit(const std::vector<std::string>& packets,
                            SimRunner::Clock::time_point now)
{
    for (const std::string& packet : packets) {
        const uint64_t lost = faults.counters().dropped + faults.counters().silenced;
        faults.submit(packet, now);
        if (faults.counters().dropped + faults.counters().silenced != lost)
            log("drop", packet);
    }
    for (const std::string& packet : faults.takeDue(now)) {
        if (!peer.send(packet)) {
            ++sendFailures;
            continue;
        }
        ++out[Datagram{packet, now}.type()];
        log("out", packet);
        if (capture)
            capture->write(peer.endpoint(), peer.hostEndpoint(), packet);
    }
}

namespace {

// The peer names itself in its errors; plcsim's user knows the endpoint by its option.
std::unique_ptr<SimRunnerPrivate> makeRunner(const SimOptions& options, const ItemTable& items)
{
    try {
        return std::make_unique<SimRunnerPrivate>(options, items);
    } catch (const std::runtime_error& error) {
        std::string what = error.what();
        const std::string peer = "PlcPeer: ";
        if (what.compare(0, peer.size(), peer) != 0)
            throw;
        what.erase(0, peer.size());
        throw std::runtime_error(what + " (the PLC endpoint, --bind)");
    }
}

} // namespace

SimRunner::SimRunner(const SimOptions& options, const ItemTable& items)
    : _d(makeRunner(options, items))
{
    SimRunnerPrivate* d = d_func();
    d->peer.setDefaultHostEndpoint(options.hostIp, options.hostPort);
    d->peer.setHandler([d](const Datagram& datagram) { d->onDatagram(datagram); });
}

SimRunner::~SimRunner()
{
    // The handler refers to the private data, which must outlive every call of it.
    d_func()->peer.setHandler(nullptr);
}

uint16_t SimRunner::port() const
{
    return d_func()->peer.port();
}

void SimRunner::step()
{
    SimRunnerPrivate* d = d_func();
    std::lock_guard<std::mutex> lock(d->mutex);
    const auto now = Clock::now();
    d->emit(d->model.advance(now), now);
}

SimRunner::Clock::time_point SimRunner::nextStep() const
{
    const SimRunnerPrivate* d = d_func();
    std::lock_guard<std::mutex> lock(d->mutex);
    const auto limit = Clock::now() + kMaxStep;
    const auto due = d->faults.nextDue();
    return due && *due < limit ? *due : limit;
}

void SimRunner::raiseAlarm()
{
    SimRunnerPrivate* d = d_func();
    std::lock_guard<std::mutex> lock(d->mutex);
    d->emit({d->model.raiseAlarm()}, Clock::now());
}

void SimRunner::changeMold()
{
    SimRunnerPrivate* d = d_func();
    std::lock_guard<std::mutex> lock(d->mutex);
    d->model.changeMold();
}

std::string SimRunner::summary() const
{
    const SimRunnerPrivate* d = d_func();
    std::lock_guard<std::mutex> lock(d->mutex);
    if (d->capture)
        d->capture->flush();
    const SimulatorCounters& model = d->model.counters();
    const FaultInjector::Counters& faults = d->faults.counters();
    std::ostringstream text;
    text << "plcsim: datagrams in " << perType(d->in) << "; out " << perType(d->out)
         << "; alarms answered " << model.alarmsAnswered << "/" << model.alarmsRaised
         << "; triggered confirmed " << model.triggeredConfirmed << "/" << model.triggeredSent
         << " (resent " << model.triggeredResent << ", abandoned " << model.triggeredAbandoned
         << "); mold sets confirmed " << model.moldSetsConfirmed << "; malformed "
         << model.malformed << "; unknown " << model.unknownType << "; faults: dropped "
         << faults.dropped << " silenced " << faults.silenced << " duplicated " << faults.duplicated
         << " reordered " << faults.reordered;
    if (d->sendFailures > 0)
        text << "; send failures " << d->sendFailures;
    return text.str();
}

} // namespace vexsim
