// SPDX-License-Identifier: MIT
// The objects of `plchost run --json`: one JSON object per line for every event of the source,
// every value that arrived, every saved curve and every message of plchost's own, each with the
// wall-clock time it happened. Pure functions; callable from any thread.
#ifndef PLCHOST_JSONLINES_H
#define PLCHOST_JSONLINES_H

#include "hostmonitor.h"
#include "vexplcevent.h"

#include <string>

namespace plchost {

class JsonLines {
public:
    JsonLines() = delete;

    // {"time", "event": kind name, "code", "value", "text"}
    static std::string event(const std::string& time, const Orrery::CvexPlcEvent& event);
    // {"time", "id", "name", "value": number or null}
    static std::string value(const std::string& time, const ValueRow& row);
    // {"time", "curve", "records", "csv", "svg"}
    static std::string curve(const std::string& time, const SavedCurve& curve);
    // {"time", "message"}
    static std::string message(const std::string& time, const std::string& text);

    static const char* kindName(Orrery::CvexPlcEvent::Kind kind);
};

} // namespace plchost

#endif // PLCHOST_JSONLINES_H
