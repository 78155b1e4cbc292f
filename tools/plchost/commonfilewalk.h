// SPDX-License-Identifier: MIT
// Walks a parsed common file key by key, the way the library reads it, and collects what it
// finds (endpoints, cycle times, ID lists, blocks, triggers) and every problem, each naming the
// section and key at fault and what it would do to the link. The library's records remain the
// judge of validity; this walk explains. A plain value object; use from one thread.
#ifndef PLCHOST_COMMONFILEWALK_H
#define PLCHOST_COMMONFILEWALK_H

#include <rapidjson/document.h>

#include <string>
#include <vector>

namespace plchost {

struct Problem {
    enum Severity { Error, Warning };
    Severity severity = Error;
    std::string where; // "section 3 (actual values), \"DataIDList\"", or empty for the file
    std::string what;
};

struct EndpointFacts {
    bool present = false;
    std::string ip;
    unsigned int port = 65535;
};

struct ProtocolFacts {
    int section = 0; // 0: no protocol section
    unsigned int version = 0;
    unsigned int priv = 0;
    EndpointFacts source;
    EndpointFacts host;
};

struct LineStatusFacts {
    int section = 0;
    unsigned int cycleTime = 10000;
};

struct ActualFacts {
    int section = 0;
    unsigned int cycleTime = 500;
    std::vector<unsigned int> ids;
};

struct MoldBlockFacts {
    unsigned int type = 0;
    std::vector<unsigned int> ids;
};

struct MoldSetFacts {
    int section = 0;
    std::vector<MoldBlockFacts> blocks; // ascending type, first block of a type only
};

struct TriggerFacts {
    int section = 0;
    unsigned int groupID = 0;
    std::vector<unsigned int> ids;
    size_t parameterSets[3] = {0, 0, 0}; // start, send, stop
    size_t packetBytes = 0;
};

class CommonFileWalk {
public:
    // The largest datagram the source sends.
    static constexpr size_t kMaxPacket = 1460;

    void walk(const rapidjson::Value& root);

    const std::vector<Problem>& problems() const { return _problems; }
    const ProtocolFacts& protocol() const { return _protocol; }
    const LineStatusFacts& lineStatus() const { return _lineStatus; }
    const ActualFacts& actual() const { return _actual; }
    const MoldSetFacts& moldSet() const { return _moldSet; }
    const std::vector<TriggerFacts>& triggers() const { return _triggers; }

    // "1001-1020, 1031" for a list of IDs.
    static std::string describeIDs(const std::vector<unsigned int>& ids);

private:
    void error(const std::string& where, const std::string& what);
    void warning(const std::string& where, const std::string& what);
    void checkKeys(const rapidjson::Value& object, const std::vector<std::string>& known,
                   const std::string& where);
    bool readUint(const rapidjson::Value& object, const char* key, const std::string& where,
                  unsigned int* out);
    struct IDListFailure {
        bool isError;
        std::string consequence;
    };
    // Elements before the first unusable one; `ok` false when the list is invalid.
    std::vector<unsigned int> readIDList(const rapidjson::Value& value, const std::string& where,
                                         const std::string& key, bool* ok,
                                         const IDListFailure& failure);
    size_t countParams(const rapidjson::Value& value, const std::string& where);

    // False when the library would stop reading (and reject the file) at this section.
    bool walkSection(const rapidjson::Value& section, int index);
    void walkProtocol(const rapidjson::Value& value, const std::string& where, int index);
    EndpointFacts walkEndpoint(const rapidjson::Value& object, const char* key,
                               const std::string& where, bool isHost);
    void walkActual(const rapidjson::Value& type, const std::string& where, int index);
    void walkLineStatus(const rapidjson::Value& type, const std::string& where, int index);
    void walkMoldSet(const rapidjson::Value& type, const std::string& where, int index);
    void walkMoldBlock(const rapidjson::Value& block, const std::string& where);
    void walkTrigger(const rapidjson::Value& type, const std::string& where, int index);
    size_t walkPhase(const rapidjson::Value& type, const char* key, const std::string& where,
                     size_t* sets);
    size_t walkParameterSet(const rapidjson::Value& set, const std::string& where);
    void checkWholeFile();

    std::vector<Problem> _problems;
    ProtocolFacts _protocol;
    LineStatusFacts _lineStatus;
    ActualFacts _actual;
    MoldSetFacts _moldSet;
    std::vector<TriggerFacts> _triggers;
};

} // namespace plchost

#endif // PLCHOST_COMMONFILEWALK_H
