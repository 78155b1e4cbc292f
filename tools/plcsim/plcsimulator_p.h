// SPDX-License-Identifier: MIT
// Private data of PlcSimulator; not part of the simulator's interface.
#ifndef PLCSIMULATOR_P_H
#define PLCSIMULATOR_P_H

#include "plcsimulator.h"
#include "processmodel.h"

#include <deque>
#include <map>
#include <set>

namespace vexsim {

struct TriggerDefinition {
    uint16_t group = 0;
    uint16_t outTime = 0;
    uint16_t delayTime = 0;
    uint16_t sendCount = 0;
    uint16_t dataIDFlag = 0;
    std::vector<uint32_t> dataIDs;
};

// Decodes a trigger definition datagram; false when it is cut short anywhere.
bool parseTriggerDefinition(const std::string& datagram, TriggerDefinition& definition);

class PlcSimulatorPrivate {
public:
    using Clock = PlcSimulator::Clock;

    // Where the PLC stands in bringing the link up.
    enum class Link {
        Fresh,     // first contact or mold change: the next answer asks for a download
        Pending,   // download asked for or under way
        Confirmed, // mold set confirmed, trigger definitions coming in
        Ready      // mold set confirmed and trigger table complete
    };

    // A triggered-data buffer: sent when it is the first of its group, then resent unchanged
    // until confirmed.
    struct Outstanding {
        uint16_t group;
        std::string bytes;
        bool sent;
        Clock::time_point sentAt;
        int resends;
    };

    PlcSimulatorPrivate(const SimulatorOptions& options, const ItemTable& items,
                        Clock::time_point start);

    uint16_t nextNumber() { return packetNumber++; }
    void dispatch(const std::string& datagram, uint16_t type, Clock::time_point now,
                  std::vector<std::string>& out);
    std::string answerLineStatus(const std::string& datagram, Clock::time_point now);
    int32_t linkStatus(std::chrono::milliseconds cycle, Clock::time_point now);
    bool triggerTableComplete(Clock::time_point now) const;
    void restartLink(Clock::time_point now);
    std::string acceptMoldSetPack(const std::string& datagram, Clock::time_point now);
    std::string answerMoldSetStatus(const std::string& datagram, Clock::time_point now);
    void subscribe(const std::string& datagram, Clock::time_point now);
    std::string answerTrigger(const std::string& datagram, Clock::time_point now);
    void confirmTriggered(const std::string& datagram, Clock::time_point now);
    void answerAlarm(const std::string& datagram);
    std::string answerReadParam(const std::string& datagram);
    std::string answerWriteParam(const std::string& datagram);
    std::string answerAction(const std::string& datagram);

    void pushActualValues(Clock::time_point now, std::vector<std::string>& out);
    void fireShot(Clock::time_point now, std::vector<std::string>& out);
    void sendTriggered(uint16_t group, std::string bytes, Clock::time_point now,
                       std::vector<std::string>& out);
    void resendUnconfirmed(Clock::time_point now, std::vector<std::string>& out);
    void sendNextBuffers(Clock::time_point now, std::vector<std::string>& out);
    std::string raiseAlarm();

    SimulatorOptions options;
    ItemTable items;
    ProcessModel process;
    SimulatorCounters counters;
    uint16_t packetNumber = 0;

    Link link = Link::Fresh;
    int32_t lastStatus = 0;
    Clock::time_point lastProgress; // last pack, status request or trigger definition
    Clock::time_point lastContact;  // last datagram of the host
    bool contacted = false;
    std::chrono::milliseconds cycle{10000}; // the host's line status cycle

    std::map<uint32_t, Record> moldSet; // values of the download in progress or confirmed
    bool downloadOpen = false;          // packs since the last status request

    std::map<uint16_t, TriggerDefinition> triggers;
    Clock::time_point lastDefinition;
    std::deque<Outstanding> outstanding;
    std::map<uint16_t, Clock::time_point> lastConfirmed; // by group

    std::vector<uint32_t> actualIDs;
    std::chrono::milliseconds actualCycle{0};
    Clock::time_point nextActual;

    std::map<uint32_t, Record> parameters;
    std::set<uint32_t> openAlarms;

    uint64_t shot = 0;
    Clock::time_point nextShot;
    Clock::time_point nextAlarm;
    Clock::time_point nextMoldChange;
};

} // namespace vexsim

#endif // PLCSIMULATOR_P_H
