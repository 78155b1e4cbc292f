// SPDX-License-Identifier: MIT
// What a running host should expect from its configuration, as the library read it: the
// endpoints, the actual IDs it will receive, the mold block sent at start-up, and the trigger
// groups whose data and curves will arrive. A plain value object.
#ifndef PLCHOST_HOSTPLAN_H
#define PLCHOST_HOSTPLAN_H

#include <string>
#include <vector>

namespace Orrery {
class CvexParsePlcCommon;
}

namespace plchost {

struct TriggerGroup {
    unsigned int groupID = 0;
    std::vector<unsigned int> ids;
    bool isCurve() const { return groupID >= 100; }
    unsigned int curve() const { return groupID - 100; }
};

struct HostPlan {
    std::string sourceIP;
    unsigned int sourcePort = 0;
    std::string hostIP;
    unsigned int hostPort = 0;
    unsigned int version = 0;
    unsigned int lineCycleTime = 10000;
    std::vector<unsigned int> actualIDs;
    std::vector<unsigned int> moldBlockIDs; // block 1, sent at start-up
    std::vector<unsigned int> allMoldIDs;   // every block, as registered with the storage
    std::vector<TriggerGroup> triggers;

    static HostPlan fromConfig(const Orrery::CvexParsePlcCommon& config);
};

} // namespace plchost

#endif // PLCHOST_HOSTPLAN_H
