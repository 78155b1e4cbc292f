// SPDX-License-Identifier: MIT
// The communication configuration: the JSON common file and the plain value records it is read
// into. Every record is copyable; accessors return copies. A record never throws on bad input: it
// leaves itself invalid and each consumer tests the validity of the record it uses.
//
// Threads: a record is filled by one thread (the one that constructs it) and afterwards only
// read; several threads may read one record at once, and copies are independent.
#ifndef VEXPARSEPLCCOMMON_H
#define VEXPARSEPLCCOMMON_H

#include "vexglobal.h"
#include "vexparseissue.h"

#include <rapidjson/document.h>

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace Orrery {

// A list of unsigned 32-bit numbers ("DataIDList", "DataTypeList", "DataStateList").
class VEX_PLCCOMMON_EXPORT CvexParseArray {
public:
    CvexParseArray();
    explicit CvexParseArray(const rapidjson::Value& value);

    void parse(const rapidjson::Value& value);

    std::vector<unsigned int> array() const;
    bool isValid() const;
    void setArray(const std::vector<unsigned int>& array);
    void setValid(bool valid);

private:
    std::vector<unsigned int> _array;
    bool _valid = false;
};

// A list of 32-bit words, each holding an integer or the bit pattern of a single-precision float,
// depending on how the number is written in the text ("Params", "DataValueList").
class VEX_PLCCOMMON_EXPORT CvexParseParamsArray {
public:
    CvexParseParamsArray();
    explicit CvexParseParamsArray(const rapidjson::Value& value);

    void parse(const rapidjson::Value& value);

    std::vector<int> array() const;
    bool isValid() const;
    void setArray(const std::vector<int>& array);
    void setValid(bool valid);

private:
    std::vector<int> _array;
    bool _valid = false;
};

// One UDP endpoint of the protocol section ("Src" or "Host"). The engine uses the low 16 bits of
// the port.
class VEX_PLCCOMMON_EXPORT CvexParseProtocolData {
public:
    CvexParseProtocolData();
    explicit CvexParseProtocolData(const rapidjson::Value& value);

    void parse(const rapidjson::Value& value);

    std::string ip() const;
    unsigned int port() const;
    bool isValid() const;

private:
    std::string _ip;
    unsigned int _port = 65535;
    bool _valid = false;
};

// The protocol section: local endpoint, PLC endpoint, protocol version and private word.
class VEX_PLCCOMMON_EXPORT CvexParseProtocol {
public:
    CvexParseProtocol();
    explicit CvexParseProtocol(const rapidjson::Value& value);

    void parse(const rapidjson::Value& value);

    CvexParseProtocolData source() const;
    CvexParseProtocolData host() const;
    unsigned int version() const;
    unsigned int priv() const;
    bool isValid() const;

private:
    CvexParseProtocolData _source;
    CvexParseProtocolData _host;
    unsigned int _version = 0;
    unsigned int _priv = 0;
    bool _valid = false;
};

// The actual-value section (code 1): the data IDs the PLC reports and the cycle time it uses.
class VEX_PLCCOMMON_EXPORT CvexParseActual {
public:
    CvexParseActual();
    explicit CvexParseActual(const rapidjson::Value& value);

    void parse(const rapidjson::Value& value);

    unsigned int ID() const;
    unsigned int cycleTime() const;
    CvexParseArray dataIDSet() const;
    bool isValid() const;

private:
    unsigned int _id = 0;
    unsigned int _cycleTime = 500;
    CvexParseArray _dataIDSet;
    bool _valid = false;
};

// The line status section (code 7). Version and private word come from the protocol section and
// are copied in by CvexParsePlcCommon after the whole file is read.
class VEX_PLCCOMMON_EXPORT CvexParseLineStatus {
public:
    CvexParseLineStatus();
    explicit CvexParseLineStatus(const rapidjson::Value& value);

    void parse(const rapidjson::Value& value);

    unsigned int ID() const;
    unsigned int cycleTime() const;
    unsigned int version() const;
    unsigned int priv() const;
    bool isValid() const;
    void setVersion(unsigned int version);
    void setPriv(unsigned int priv);

private:
    unsigned int _id = 0;
    unsigned int _cycleTime = 10000;
    unsigned int _version = 0;
    unsigned int _priv = 0;
    bool _valid = false;
};

// One mold set block. Start position and pack size are not read from the file: the engine pages
// through the data ID list with them in its own copy of the block while downloading it.
class VEX_PLCCOMMON_EXPORT CvexParseMoldBlock {
public:
    CvexParseMoldBlock();
    explicit CvexParseMoldBlock(const rapidjson::Value& value);

    void parse(const rapidjson::Value& value);

    unsigned int type() const;
    CvexParseArray dataIDSet() const;
    CvexParseArray dataTypeSet() const;
    CvexParseArray dataStateSet() const;
    CvexParseParamsArray dataValueSet() const;
    bool isValid() const;

    void setStartPos(unsigned int startPos);
    unsigned int queryStartPos() const;
    void setPackSize(unsigned int packSize);
    unsigned int queryPackSize() const;

private:
    unsigned int _type = 0;
    unsigned int _startPos = 0;
    unsigned int _packSize = 0;
    unsigned int _valid = 0;
    CvexParseArray _dataIDSet;
    CvexParseArray _dataTypeSet;
    CvexParseArray _dataStateSet;
    CvexParseParamsArray _dataValueSet;
};

// The mold set section (code 9): its blocks keyed and ordered by their "Type".
class VEX_PLCCOMMON_EXPORT CvexParseMoldSet {
public:
    CvexParseMoldSet();
    explicit CvexParseMoldSet(const rapidjson::Value& value);

    void parse(const rapidjson::Value& value);

    unsigned int ID() const;
    std::map<unsigned int, CvexParseMoldBlock> moldList() const;
    // The same blocks without a copy, valid while this object lives.
    const std::map<unsigned int, CvexParseMoldBlock>& blocks() const;
    bool isValid() const;

private:
    // Returns false when the list is malformed; the walk of the section then stops.
    bool parseMoldList(const rapidjson::Value& list);

    unsigned int _id = 0;
    unsigned int _valid = 0;
    std::map<unsigned int, CvexParseMoldBlock> _moldList;
};

// One trigger condition: a type and its numeric parameters, passed to the PLC as written.
class VEX_PLCCOMMON_EXPORT CvexParseTriggerCondition {
public:
    CvexParseTriggerCondition();
    explicit CvexParseTriggerCondition(const rapidjson::Value& value);

    void parse(const rapidjson::Value& value);

    unsigned int type() const;
    CvexParseParamsArray params() const;
    bool isValid() const;
    void setType(unsigned int type);
    void setParams(const CvexParseParamsArray& params);
    void setValid(bool valid);

private:
    unsigned int _type = 0;
    CvexParseParamsArray _params;
    bool _valid = false;
};

// One parameter set of a trigger phase: its valid conditions, in file order.
class VEX_PLCCOMMON_EXPORT CvexParseTriggerParamSet {
public:
    CvexParseTriggerParamSet();
    explicit CvexParseTriggerParamSet(const rapidjson::Value& value);

    void parse(const rapidjson::Value& value);

    std::vector<CvexParseTriggerCondition> conditions() const;
    bool isValid() const;
    void setConditions(std::vector<CvexParseTriggerCondition>& conditions);
    void setValid(bool valid);

private:
    std::vector<CvexParseTriggerCondition> _conditions;
    bool _valid = false;
};

// One trigger phase ("StartTrigger", "SendTrigger" or "StopTrigger"): its parameter sets, valid
// or not, in file order.
class VEX_PLCCOMMON_EXPORT CvexParseTriggerFeature {
public:
    CvexParseTriggerFeature();
    explicit CvexParseTriggerFeature(const rapidjson::Value& value);

    void parse(const rapidjson::Value& value);

    std::vector<CvexParseTriggerParamSet> triggerParams() const;
    bool isValid() const;
    void setTriggerParams(const std::vector<CvexParseTriggerParamSet>& triggerParams);
    void setValid(bool valid);

private:
    std::vector<CvexParseTriggerParamSet> _triggerParams;
    bool _valid = false;
};

// One trigger definition (section code 17), downloaded to the PLC by the engine.
class VEX_PLCCOMMON_EXPORT CvexParseTrigger {
public:
    CvexParseTrigger();
    explicit CvexParseTrigger(const rapidjson::Value& value);
    CvexParseTrigger(const CvexParseTrigger& other);
    CvexParseTrigger& operator=(const CvexParseTrigger& other);
    ~CvexParseTrigger();

    void parse(const rapidjson::Value& value);

    unsigned int ID() const;
    unsigned int groupID() const;
    unsigned int outTime() const;
    unsigned int delayTime() const;
    unsigned int sendCount() const;
    unsigned int dataIDFlag() const;
    CvexParseArray dataIDSet() const;
    CvexParseTriggerFeature startTrigger() const;
    CvexParseTriggerFeature sendTrigger() const;
    CvexParseTriggerFeature stopTrigger() const;
    bool isValid() const;

    void setID(unsigned int id);
    void setGroupID(unsigned int groupID);
    void setOutTime(unsigned int outTime);
    void setDelayTime(unsigned int delayTime);
    void setSendCount(unsigned int sendCount);
    void setDataIDFlag(unsigned int dataIDFlag);
    void setDataIDSet(const CvexParseArray& dataIDSet);
    void setStartTrigger(const CvexParseTriggerFeature& startTrigger);
    void setSendTrigger(const CvexParseTriggerFeature& sendTrigger);
    void setStopTrigger(const CvexParseTriggerFeature& stopTrigger);
    void setValid(bool valid);

private:
    unsigned int _id = 0;
    unsigned int _groupID = 0;
    unsigned int _outTime = 0;
    unsigned int _delayTime = 0;
    unsigned int _sendCount = 0;
    unsigned int _dataIDFlag = 0;
    CvexParseArray _dataIDSet;
    CvexParseTriggerFeature _startTrigger;
    CvexParseTriggerFeature _sendTrigger;
    CvexParseTriggerFeature _stopTrigger;
    bool _valid = false;
};

// The whole common file. The path constructor reads and parses the file once; the outcome is
// isValid(), and issues() tells what was refused or skipped on the way. The object keeps no
// reference to the file or to the parsed JSON tree. Owned by the engine, which creates a new one
// for every configuration it loads.
class VEX_PLCCOMMON_EXPORT CvexParsePlcCommon {
public:
    CvexParsePlcCommon();
    explicit CvexParsePlcCommon(const std::string& path);

    void parse(const std::string& path);

    CvexParseProtocol protocol() const;
    CvexParseActual actual() const;
    CvexParseLineStatus lineStatus() const;
    CvexParseMoldSet moldSet() const;
    std::vector<CvexParseTrigger> triggers() const;
    // The same records without a copy, valid while this object lives: a large file's lists are
    // read where they were built.
    const CvexParseMoldSet& moldSetRecord() const;
    const std::vector<CvexParseTrigger>& triggerList() const;
    bool isValid() const;
    // What the parse refused or skipped, in the order met, with the place of each in the file: a
    // syntax error, a value of the wrong kind, an unknown or repeated key or section, a list cut
    // short. Empty for a clean file. A file with issues may still be valid: an ignored value
    // leaves its record usable.
    std::vector<CvexParseIssue> issues() const;

private:
    friend class CvexParsePlcCommonText;

    // Parses JSON text, which ends at its first NUL or at the end of `text`; the file reading of
    // parse(path) ends here.
    void parseText(std::string_view text);
    // Returns false when the section makes the whole document invalid.
    void parseDocument(const rapidjson::Value& document);
    bool parseSection(const rapidjson::Value& section);
    void parseTypedSection(const rapidjson::Value& type);
    // Notes a section met before (code 0: the protocol section).
    void noteRepeatedSection(const rapidjson::Value& section, unsigned int code);

    CvexParseProtocol _protocol;
    CvexParseActual _actual;
    CvexParseLineStatus _lineStatus;
    CvexParseMoldSet _moldSet;
    std::vector<CvexParseTrigger> _triggers;
    bool _valid = false;
    std::vector<CvexParseIssue> _issues;
    unsigned int _sectionsSeen = 0; // bit n: a section of code n was read
};

} // namespace Orrery

#endif // VEXPARSEPLCCOMMON_H
