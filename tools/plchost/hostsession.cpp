// SPDX-License-Identifier: MIT
#include "hostsession.h"

#include "hostplan.h"
#include "itemdictionary.h"
#include "portprobe.h"
#include "vexdbstoragefactory.h"
#include "vexplccommon.h"

namespace plchost {

HostSession::HostSession() = default;

HostSession::~HostSession()
{
    stop();
}

bool HostSession::start(const std::string& commonFile, const HostPlan& plan,
                        const ItemDictionary* items)
{
    const std::string problem = PortProbe::bindProblem(plan.sourceIP, plan.sourcePort);
    if (!problem.empty()) {
        _error = "cannot use " + plan.sourceIP + ":" + std::to_string(plan.sourcePort) +
                 " (the \"Src\" endpoint of " + commonFile + "): " + problem;
        return false;
    }
    if (items)
        items->fillStorage(*Orrery::CvexDBStorageFactory::instance()->get(2));
    _source = std::make_unique<Orrery::CvexPlcCommon>();
    _source->setCommonFile(commonFile);
    _source->start();
    return true;
}

int HostSession::lineStatus() const
{
    return _source ? _source->lineStatus() : 0;
}

Orrery::CvexAbstractCommSource& HostSession::source()
{
    return *_source;
}

void HostSession::stop()
{
    _source.reset();
}

} // namespace plchost
