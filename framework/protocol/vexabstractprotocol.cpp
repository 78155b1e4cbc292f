// SPDX-License-Identifier: MIT
#include "vexabstractprotocol.h"
#include "vexabstractprotocol_p.h"

namespace Orrery {

CvexAbstractProtocolPrivate::CvexAbstractProtocolPrivate() = default;

CvexAbstractProtocolPrivate::~CvexAbstractProtocolPrivate() = default;

// A protocol always has private data, so that d_ptr never has to be tested.
CvexAbstractProtocol::CvexAbstractProtocol(CvexAbstractProtocolPrivate* d)
    : d_ptr(d ? d : new CvexAbstractProtocolPrivate)
{
}

CvexAbstractProtocol::~CvexAbstractProtocol() = default;

int CvexAbstractProtocol::composeProtocol(CvexByteArray& /*out*/, const CvexByteArray& /*in*/,
                                          void* /*arg*/)
{
    return -1;
}

int CvexAbstractProtocol::parseProtocol(const CvexByteArray& /*in*/)
{
    return -1;
}

int CvexAbstractProtocol::writeToDataBase(const CvexByteArray& /*payload*/)
{
    return 0;
}

} // namespace Orrery
