// SPDX-License-Identifier: MIT
#ifndef VEXABSTRACTCOMMSOURCE_H
#define VEXABSTRACTCOMMSOURCE_H

#include "vexbytearray.h"
#include "vexglobal.h"
#include "vexthread.h"
#include "vexvariant.h"

#include <map>
#include <string>
#include <vector>

namespace Orrery {

class CvexParseTrigger;
class CvexParseMoldBlock;

// Base of a communication source: a thread that talks to one device and carries out the host's
// commands. The base forms of the commands do nothing and return -1; lineStatus() returns 0.
class VEX_PROTOCOL_EXPORT CvexAbstractCommSource : public CvexThread {
public:
    enum CommType { UnknownComm = 0, PlcComm = 1 };

    CvexAbstractCommSource(CommType type, CvexObject* parent = nullptr);
    ~CvexAbstractCommSource() override;

    CommType commType() const { return _commType; }

    virtual void setCommonFile(std::string path);
    virtual CvexByteArray values(unsigned int dataID) const;
    virtual void writeValues(unsigned int dataID, const CvexByteArray& values);
    virtual int uploadParam(const std::vector<std::string>& names);
    virtual int uploadParam(const std::string& name);
    virtual int uploadParam(const std::vector<unsigned int>& ids);
    virtual int uploadParam(unsigned int id);
    virtual int uploadParam(const CvexByteArray& ids);
    virtual int downloadParam(const std::map<std::string, CvexVariant>& values);
    virtual int downloadParam(const std::string& name, const CvexVariant& value);
    virtual int downloadParam(const std::map<unsigned int, CvexVariant>& values);
    virtual int downloadParam(unsigned int id, const CvexVariant& value);
    virtual int downloadParam(const CvexByteArray& records);
    virtual int downloadAction(const std::vector<unsigned int>& codes);
    virtual int downloadAction(unsigned int code);
    virtual int downloadAction(const CvexByteArray& codes);
    virtual int downloadTrigger(const CvexParseTrigger& trigger);
    virtual int downloadMoldSet(const CvexParseMoldBlock& block);
    virtual int downloadMoldSet();
    virtual int lineStatus() const;

private:
    CommType _commType;
};

} // namespace Orrery

#endif // VEXABSTRACTCOMMSOURCE_H
