// SPDX-License-Identifier: MIT
#include "vexabstractcommsource.h"

namespace Orrery {

CvexAbstractCommSource::CvexAbstractCommSource(CommType type, CvexObject* parent)
    : CvexThread(parent), _commType(type)
{
}

CvexAbstractCommSource::~CvexAbstractCommSource() = default;

// The base forms stand for a source that supports none of the commands.

void CvexAbstractCommSource::setCommonFile(std::string /*path*/) {}

CvexByteArray CvexAbstractCommSource::values(unsigned int /*dataID*/) const
{
    return CvexByteArray();
}

void CvexAbstractCommSource::writeValues(unsigned int /*dataID*/, const CvexByteArray& /*values*/)
{
}

int CvexAbstractCommSource::uploadParam(const std::vector<std::string>& /*names*/)
{
    return -1;
}

int CvexAbstractCommSource::uploadParam(const std::string& /*name*/)
{
    return -1;
}

int CvexAbstractCommSource::uploadParam(const std::vector<unsigned int>& /*ids*/)
{
    return -1;
}

int CvexAbstractCommSource::uploadParam(unsigned int /*id*/)
{
    return -1;
}

int CvexAbstractCommSource::uploadParam(const CvexByteArray& /*ids*/)
{
    return -1;
}

int CvexAbstractCommSource::downloadParam(const std::map<std::string, CvexVariant>& /*values*/)
{
    return -1;
}

int CvexAbstractCommSource::downloadParam(const std::string& /*name*/, const CvexVariant& /*value*/)
{
    return -1;
}

int CvexAbstractCommSource::downloadParam(const std::map<unsigned int, CvexVariant>& /*values*/)
{
    return -1;
}

int CvexAbstractCommSource::downloadParam(unsigned int /*id*/, const CvexVariant& /*value*/)
{
    return -1;
}

int CvexAbstractCommSource::downloadParam(const CvexByteArray& /*records*/)
{
    return -1;
}

int CvexAbstractCommSource::downloadAction(const std::vector<unsigned int>& /*codes*/)
{
    return -1;
}

int CvexAbstractCommSource::downloadAction(unsigned int /*code*/)
{
    return -1;
}

int CvexAbstractCommSource::downloadAction(const CvexByteArray& /*codes*/)
{
    return -1;
}

int CvexAbstractCommSource::downloadTrigger(const CvexParseTrigger& /*trigger*/)
{
    return -1;
}

int CvexAbstractCommSource::downloadMoldSet(const CvexParseMoldBlock& /*block*/)
{
    return -1;
}

int CvexAbstractCommSource::downloadMoldSet()
{
    return -1;
}

int CvexAbstractCommSource::lineStatus() const
{
    return 0;
}

} // namespace Orrery
