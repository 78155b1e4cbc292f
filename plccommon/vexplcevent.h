// SPDX-License-Identifier: MIT
#ifndef VEXPLCEVENT_H
#define VEXPLCEVENT_H

#include <cstdint>
#include <string>

namespace Orrery {

// One thing a communication source did or saw, as CvexPlcCommon::takeEvents() returns it. A plain
// value that belongs to the host once taken; copy it and read it from any thread.
class CvexPlcEvent {
public:
    // What happened; the comment says what `code`, `value` and `text` hold (0 or empty otherwise).
    enum Kind {
        LineStatusChanged,       // code: the old status, value: the new one
        MoldSetPackAcknowledged, // value: packs acknowledged so far, code: packs in all
        MoldSetConfirmed,        // the PLC holds the whole block; value: the values in it
        MoldSetRefused,          // the status check failed; code: values sent, value: values held
        TriggerAcknowledged,     // code: group; value: definitions acknowledged so far
        TriggerRefused,          // code: group, value: the non-zero status of the PLC's answer
        AlarmReceived,           // code: (first) alarm number, value: its alarm byte
        TriggeredDataStored,     // code: group
        CurveSaved,              // code: curve number, value: records in the saved curve
        ParameterReplyStored,    // code: reply type (1002 read, 1003 write), value: records
        ActionAnswered,          // code: the action (-1 if unknown), value: its state
        Retransmitted,           // code: type of the request sent again
        DuplicateIgnored,        // code: group of the repeated triggered data
        SendQueueOverflow,       // value: packets dropped since the last report; text: the line
        BindFailed,              // text: the endpoint and the reason
        VersionMismatch,         // the PLC refused the protocol version; text: the line
        EventsDropped            // value: how many of the oldest events were dropped
    };

    Kind kind = LineStatusChanged;
    // Milliseconds from the construction of the source to the event.
    std::int64_t msSinceStart = 0;
    int code = 0;
    long long value = 0;
    // The diagnostic line written for the event, where there is one.
    std::string text;
};

} // namespace Orrery

#endif // VEXPLCEVENT_H
