// SPDX-License-Identifier: MIT
#include "hostplan.h"

#include "vexparseplccommon.h"

namespace plchost {

HostPlan HostPlan::fromConfig(const Orrery::CvexParsePlcCommon& config)
{
    HostPlan plan;
    const auto protocol = config.protocol();
    plan.sourceIP = protocol.source().ip();
    plan.sourcePort = protocol.source().port() & 0xFFFFu;
    plan.hostIP = protocol.host().ip();
    plan.hostPort = protocol.host().port() & 0xFFFFu;
    plan.version = protocol.version();
    plan.lineCycleTime = config.lineStatus().cycleTime();
    plan.actualIDs = config.actual().dataIDSet().array();
    for (const auto& [type, block] : config.moldSet().moldList()) {
        const auto ids = block.dataIDSet().array();
        if (type == 1)
            plan.moldBlockIDs = ids;
        plan.allMoldIDs.insert(plan.allMoldIDs.end(), ids.begin(), ids.end());
    }
    for (const auto& trigger : config.triggers())
        plan.triggers.push_back({trigger.groupID(), trigger.dataIDSet().array()});
    return plan;
}

} // namespace plchost
