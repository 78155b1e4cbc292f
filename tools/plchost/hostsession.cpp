// SPDX-License-Identifier: MIT
#include "hostsession.h"

#include "itemdictionary.h"
#include "vexdbstoragefactory.h"
#include "vexplccommon.h"

namespace plchost {

HostSession::HostSession() = default;

HostSession::~HostSession()
{
    stop();
}

bool HostSession::start(const std::string& commonFile, const ItemDictionary* items)
{
    if (items)
        items->fillStorage(*Orrery::CvexDBStorageFactory::instance()->get(2));
    _source = std::make_unique<Orrery::CvexPlcCommon>();
    // The source binds its endpoint as it reads the file, and says so at once when it cannot.
    _source->setCommonFile(commonFile);
    _startEvents = _source->takeEvents();
    for (const Orrery::CvexPlcEvent& event : _startEvents) {
        if (event.kind == Orrery::CvexPlcEvent::BindFailed) {
            _error = "cannot bind " + event.text + " (the \"Src\" endpoint of " + commonFile + ")";
            _source.reset();
            return false;
        }
    }
    _source->start();
    return true;
}

int HostSession::lineStatus() const
{
    return _source ? _source->lineStatus() : 0;
}

std::vector<Orrery::CvexPlcEvent> HostSession::takeEvents()
{
    std::vector<Orrery::CvexPlcEvent> events;
    events.swap(_startEvents);
    if (_source) {
        std::vector<Orrery::CvexPlcEvent> more = _source->takeEvents();
        events.insert(events.end(), more.begin(), more.end());
    }
    return events;
}

Orrery::CvexPlcStatistics HostSession::statistics() const
{
    return _source ? _source->statistics() : Orrery::CvexPlcStatistics();
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
