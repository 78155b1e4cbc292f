// SPDX-License-Identifier: MIT
#include "commonfilewalk.h"

#include "jsonfile.h"

#include "toolsocket.h"

#include <algorithm>
#include <map>
#include <set>

namespace plchost {

using vextools::JsonFile;

namespace {

constexpr unsigned int kActualCode = 1;
constexpr unsigned int kLineStatusCode = 7;
constexpr unsigned int kMoldSetCode = 9;
constexpr unsigned int kTriggerCode = 17;
constexpr size_t kMaxActualIDs = 50;
constexpr size_t kMaxTriggers = 255;
constexpr unsigned int kCurveGroupBase = 100;

std::string quoted(const std::string& key)
{
    return "\"" + key + "\"";
}

// Record keys are applied in member order, so the last occurrence is the one the library keeps.
const rapidjson::Value* lastMember(const rapidjson::Value& object, const char* key)
{
    const rapidjson::Value* found = nullptr;
    for (auto member = object.MemberBegin(); member != object.MemberEnd(); ++member) {
        if (std::string(member->name.GetString()) == key)
            found = &member->value;
    }
    return found;
}

bool isDottedIPv4(const std::string& text)
{
    in_addr address{};
    return inet_pton(AF_INET, text.c_str(), &address) == 1;
}

std::string sectionName(unsigned int code)
{
    switch (code) {
    case kActualCode:
        return "actual values";
    case kLineStatusCode:
        return "line status";
    case kMoldSetCode:
        return "mold set";
    case kTriggerCode:
        return "trigger definition";
    default:
        return "code " + std::to_string(code);
    }
}

} // namespace

void CommonFileWalk::error(const std::string& where, const std::string& what)
{
    _problems.push_back({Problem::Error, where, what});
}

void CommonFileWalk::warning(const std::string& where, const std::string& what)
{
    _problems.push_back({Problem::Warning, where, what});
}

void CommonFileWalk::checkKeys(const rapidjson::Value& object,
                               const std::vector<std::string>& known, const std::string& where)
{
    std::map<std::string, int> seen;
    for (auto member = object.MemberBegin(); member != object.MemberEnd(); ++member) {
        const std::string key = member->name.GetString();
        if (++seen[key] == 2)
            warning(where,
                    "key " + quoted(key) + " appears more than once; only one of them counts");
        if (seen[key] == 1 && std::find(known.begin(), known.end(), key) == known.end())
            warning(where, "unknown key " + quoted(key) + " is ignored (keys are case-sensitive)");
    }
}

bool CommonFileWalk::readUint(const rapidjson::Value& object, const char* key,
                              const std::string& where, unsigned int* out)
{
    const rapidjson::Value* value = lastMember(object, key);
    if (!value)
        return false;
    if (!value->IsUint()) {
        error(where, quoted(key) + " must be an unsigned integer (0 to 4294967295), not " +
                         JsonFile::typeName(*value));
        return false;
    }
    *out = value->GetUint();
    return true;
}

std::vector<unsigned int> CommonFileWalk::readIDList(const rapidjson::Value& value,
                                                     const std::string& where,
                                                     const std::string& key, bool* ok,
                                                     const IDListFailure& failure)
{
    std::vector<unsigned int> ids;
    *ok = false;
    auto report = [&](const std::string& what) {
        const std::string text = quoted(key) + " " + what +
                                 (failure.consequence.empty() ? "" : "; " + failure.consequence);
        failure.isError ? error(where, text) : warning(where, text);
    };
    if (!value.IsArray()) {
        report("must be an array of unsigned integers, not " + JsonFile::typeName(value));
        return ids;
    }
    if (value.Empty()) {
        report("is empty");
        return ids;
    }
    for (rapidjson::SizeType i = 0; i < value.Size(); ++i) {
        if (!value[i].IsUint()) {
            report("element " + std::to_string(i + 1) + " is " + JsonFile::typeName(value[i]) +
                   ", not an unsigned integer, so the list is invalid");
            return ids;
        }
        ids.push_back(value[i].GetUint());
    }
    *ok = true;
    return ids;
}

size_t CommonFileWalk::countParams(const rapidjson::Value& value, const std::string& where)
{
    if (!value.IsArray() || value.Empty()) {
        warning(where,
                "\"Params\" must be a non-empty array of numbers, not " +
                    (value.IsArray() ? std::string("an empty array") : JsonFile::typeName(value)) +
                    "; the condition is sent without parameters");
        return 0;
    }
    for (rapidjson::SizeType i = 0; i < value.Size(); ++i) {
        const rapidjson::Value& element = value[i];
        const bool fits = element.IsInt() || element.IsUint() || element.IsDouble();
        if (!fits) {
            const std::string kind = element.IsNumber() ? "an integer that needs more than 32 bits"
                                                        : JsonFile::typeName(element);
            error(where, "\"Params\" element " + std::to_string(i + 1) + " is " + kind +
                             ", not a 32-bit number: the library prints \"Data Type Convert "
                             "Error .....\" and sends only the " +
                             std::to_string(i) + " parameter(s) before it");
            return i;
        }
    }
    return value.Size();
}

void CommonFileWalk::walk(const rapidjson::Value& root)
{
    if (!root.IsArray()) {
        error("", "the file must hold an array of sections, not " + JsonFile::typeName(root) +
                      "; the library rejects it");
        return;
    }
    for (rapidjson::SizeType i = 0; i < root.Size(); ++i) {
        // The library stops reading at a malformed section and rejects the file.
        if (!walkSection(root[i], static_cast<int>(i + 1)))
            return;
    }
    checkWholeFile();
}

bool CommonFileWalk::walkSection(const rapidjson::Value& section, int index)
{
    const std::string where = "section " + std::to_string(index);
    if (!section.IsObject()) {
        error(where, "is " + JsonFile::typeName(section) +
                         ", not an object; the library rejects the whole file here");
        return false;
    }
    const auto type = section.FindMember("Type");
    if (type != section.MemberEnd()) {
        if (!type->value.IsObject() || !type->value.HasMember("ID")) {
            error(where, "\"Type\" must be an object holding the section code \"ID\", not " +
                             (type->value.IsObject() ? std::string("an object without \"ID\"")
                                                     : JsonFile::typeName(type->value)) +
                             "; the library rejects the whole file here");
            return false;
        }
        const rapidjson::Value& code = type->value.FindMember("ID")->value;
        if (!code.IsUint()) {
            error(where, "the section code \"ID\" must be an unsigned integer, not " +
                             JsonFile::typeName(code) +
                             "; the library rejects the whole file here");
            return false;
        }
        for (auto member = section.MemberBegin(); member != section.MemberEnd(); ++member) {
            if (std::string(member->name.GetString()) != "Type")
                warning(where, "key " + quoted(member->name.GetString()) +
                                   " beside \"Type\" is ignored; a section's keys belong "
                                   "inside the \"Type\" object");
        }
        const std::string named = where + " (" + sectionName(code.GetUint()) + ")";
        switch (code.GetUint()) {
        case kActualCode:
            walkActual(type->value, named, index);
            break;
        case kLineStatusCode:
            walkLineStatus(type->value, named, index);
            break;
        case kMoldSetCode:
            walkMoldSet(type->value, named, index);
            break;
        case kTriggerCode:
            walkTrigger(type->value, named, index);
            break;
        default:
            warning(where, "section code " + std::to_string(code.GetUint()) +
                               " is not one of 1, 7, 9 or 17; the section is ignored");
        }
        return true;
    }
    const auto protocol = section.FindMember("Protocol");
    if (protocol != section.MemberEnd()) {
        walkProtocol(protocol->value, where + " (protocol)", index);
        return true;
    }
    warning(where, "has neither \"Type\" nor \"Protocol\"; the section is ignored");
    return true;
}

void CommonFileWalk::walkProtocol(const rapidjson::Value& value, const std::string& where,
                                  int index)
{
    if (_protocol.section != 0)
        warning(where, "replaces the protocol section " + std::to_string(_protocol.section));
    _protocol = ProtocolFacts();
    _protocol.section = index;
    if (!value.IsObject() || value.MemberCount() == 0) {
        error(where,
              "\"Protocol\" must be an object with \"Src\" and \"Host\", not " +
                  (value.IsObject() ? std::string("an empty object") : JsonFile::typeName(value)) +
                  "; without endpoints the source sets up no socket");
        return;
    }
    checkKeys(value, {"Version", "Private", "Src", "Host"}, where);
    readUint(value, "Version", where, &_protocol.version);
    readUint(value, "Private", where, &_protocol.priv);
    _protocol.source = walkEndpoint(value, "Src", where, false);
    _protocol.host = walkEndpoint(value, "Host", where, true);
}

EndpointFacts CommonFileWalk::walkEndpoint(const rapidjson::Value& object, const char* key,
                                           const std::string& where, bool isHost)
{
    EndpointFacts facts;
    const std::string role = isHost ? "the PLC's address" : "this host's own address";
    const rapidjson::Value* value = lastMember(object, key);
    if (!value) {
        error(where, "no " + quoted(key) + " endpoint (" + role +
                         "): the source sets up no socket and never talks to the PLC");
        return facts;
    }
    const std::string at = where + ", " + quoted(key);
    if (!value->IsObject() || value->MemberCount() == 0) {
        error(at, "must be an object with \"IP\" and \"Port\", not " +
                      (value->IsObject() ? std::string("an empty object")
                                         : JsonFile::typeName(*value)));
        return facts;
    }
    facts.present = true;
    checkKeys(*value, {"IP", "Port"}, at);
    const rapidjson::Value* ip = lastMember(*value, "IP");
    if (!ip) {
        error(at, "no \"IP\"");
    } else if (!ip->IsString()) {
        error(at, "\"IP\" must be a string such as \"127.0.0.1\", not " + JsonFile::typeName(*ip));
    } else {
        facts.ip = ip->GetString();
        if (!isDottedIPv4(facts.ip))
            error(at, "\"IP\" \"" + facts.ip + "\" is not a dotted IPv4 address");
    }
    if (!lastMember(*value, "Port")) {
        error(at, "no \"Port\" (the library would use 65535)");
    } else if (readUint(*value, "Port", at, &facts.port)) {
        if (facts.port > 65535)
            error(at, "\"Port\" " + std::to_string(facts.port) +
                          " is above 65535; the library would use its low 16 bits, " +
                          std::to_string(facts.port & 0xFFFFu));
        else if (facts.port == 0 && isHost)
            error(at, "\"Port\" 0 cannot be the PLC's port");
        else if (facts.port == 0)
            warning(at, "\"Port\" 0 lets the system pick a port, which the PLC cannot know");
    }
    return facts;
}

void CommonFileWalk::walkActual(const rapidjson::Value& type, const std::string& where, int index)
{
    if (_actual.section != 0)
        warning(where, "replaces the actual value section " + std::to_string(_actual.section));
    _actual = ActualFacts();
    _actual.section = index;
    checkKeys(type, {"ID", "CycleTime", "DataIDList"}, where);
    if (readUint(type, "CycleTime", where, &_actual.cycleTime) && _actual.cycleTime > 65535)
        warning(where,
                "\"CycleTime\" " + std::to_string(_actual.cycleTime) +
                    " travels cut to 16 bits: " + std::to_string(_actual.cycleTime & 0xFFFFu));
    const rapidjson::Value* list = lastMember(type, "DataIDList");
    if (!list) {
        error(where, "no \"DataIDList\": the actual-value subscription is never sent");
        return;
    }
    bool ok = false;
    _actual.ids = readIDList(*list, where, "DataIDList", &ok,
                             {true, "the actual-value subscription is never sent"});
    if (!ok) {
        _actual.ids.clear();
        return;
    }
    if (_actual.ids.size() > kMaxActualIDs)
        warning(where, "\"DataIDList\" holds " + std::to_string(_actual.ids.size()) +
                           " IDs; only the first 50 are requested and every reply is reported "
                           "as \"Actual Update MayBe Failed\"");
}

void CommonFileWalk::walkLineStatus(const rapidjson::Value& type, const std::string& where,
                                    int index)
{
    if (_lineStatus.section != 0)
        warning(where, "replaces the line status section " + std::to_string(_lineStatus.section));
    _lineStatus = LineStatusFacts();
    _lineStatus.section = index;
    checkKeys(type, {"ID", "CycleTime"}, where);
    if (readUint(type, "CycleTime", where, &_lineStatus.cycleTime) && _lineStatus.cycleTime < 3)
        error(where, "\"CycleTime\" " + std::to_string(_lineStatus.cycleTime) +
                         " ms gives a line status request period of 0 ms");
}

void CommonFileWalk::walkMoldSet(const rapidjson::Value& type, const std::string& where, int index)
{
    if (_moldSet.section != 0)
        warning(where, "replaces the mold set section " + std::to_string(_moldSet.section));
    _moldSet = MoldSetFacts();
    _moldSet.section = index;
    checkKeys(type, {"ID", "MoldList"}, where);
    const auto list = type.FindMember("MoldList");
    if (list == type.MemberEnd())
        return;
    if (!list->value.IsArray()) {
        error(where, "\"MoldList\" must be an array of mold block objects, not " +
                         JsonFile::typeName(list->value) + "; the mold set record is invalid");
        return;
    }
    std::set<unsigned int> keys;
    for (rapidjson::SizeType i = 0; i < list->value.Size(); ++i) {
        const rapidjson::Value& block = list->value[i];
        const std::string at = where + ", \"MoldList\" element " + std::to_string(i + 1);
        if (!block.IsObject() || !block.HasMember("Type") || !block["Type"].IsUint()) {
            const std::string kind =
                !block.IsObject() ? JsonFile::typeName(block)
                : !block.HasMember("Type")
                    ? "an object without \"Type\""
                    : "an object whose \"Type\" is " + JsonFile::typeName(block["Type"]);
            error(at, "is " + kind +
                          "; a mold block needs an unsigned \"Type\", so the mold set record is "
                          "invalid and the blocks after it are dropped");
            return;
        }
        const unsigned int key = block["Type"].GetUint();
        if (!keys.insert(key).second) {
            warning(at, "repeats block \"Type\" " + std::to_string(key) +
                            "; the library keeps the first block of a type and drops this one");
            continue;
        }
        walkMoldBlock(block, where + ", block " + std::to_string(key));
    }
    std::sort(_moldSet.blocks.begin(), _moldSet.blocks.end(),
              [](const MoldBlockFacts& a, const MoldBlockFacts& b) { return a.type < b.type; });
}

void CommonFileWalk::walkMoldBlock(const rapidjson::Value& block, const std::string& where)
{
    MoldBlockFacts facts;
    facts.type = block["Type"].GetUint();
    const bool startUpBlock = facts.type == 1;
    checkKeys(block, {"Type", "DataIDList", "DataTypeList", "DataStateList", "DataValueList"},
              where);
    const rapidjson::Value* ids = lastMember(block, "DataIDList");
    bool ok = false;
    if (!ids) {
        const std::string what = "no \"DataIDList\": the block cannot be downloaded";
        startUpBlock ? error(where, what) : warning(where, what);
    } else {
        facts.ids = readIDList(*ids, where, "DataIDList", &ok,
                               {startUpBlock, startUpBlock ? "block 1 cannot be sent, so the link "
                                                             "never reaches state 3"
                                                           : "the block cannot be downloaded"});
        if (!ok)
            facts.ids.clear();
    }
    if (ok) {
        std::set<unsigned int> unique(facts.ids.begin(), facts.ids.end());
        if (unique.size() != facts.ids.size())
            warning(where, "\"DataIDList\" names " +
                               std::to_string(facts.ids.size() - unique.size()) +
                               " ID(s) more than once");
    }
    for (const char* key : {"DataTypeList", "DataStateList"}) {
        const rapidjson::Value* list = lastMember(block, key);
        if (!list)
            continue;
        bool listOk = false;
        const auto values = readIDList(*list, where, key, &listOk, {false, ""});
        if (listOk && ok && values.size() != facts.ids.size())
            warning(where, quoted(key) + " has " + std::to_string(values.size()) + " entries for " +
                               std::to_string(facts.ids.size()) +
                               " IDs (the library passes it on as written)");
    }
    if (const rapidjson::Value* values = lastMember(block, "DataValueList")) {
        const size_t count = countParams(*values, where + ", \"DataValueList\" (as \"Params\")");
        if (ok && count != 0 && count != facts.ids.size())
            warning(where, "\"DataValueList\" has " + std::to_string(count) + " entries for " +
                               std::to_string(facts.ids.size()) + " IDs");
    }
    _moldSet.blocks.push_back(facts);
}

void CommonFileWalk::walkTrigger(const rapidjson::Value& type, const std::string& where, int index)
{
    TriggerFacts facts;
    facts.section = index;
    checkKeys(type,
              {"ID", "GroupID", "OutTime", "DelayTime", "SendCount", "DataIDFlag", "DataIDList",
               "StartTrigger", "SendTrigger", "StopTrigger"},
              where);
    if (readUint(type, "GroupID", where, &facts.groupID) && facts.groupID > 65535)
        error(where, "\"GroupID\" " + std::to_string(facts.groupID) +
                         " is above 65535; the PLC acknowledges 16 bits only, so this "
                         "definition would be sent again forever");
    for (const char* key : {"OutTime", "DelayTime", "SendCount", "DataIDFlag"}) {
        unsigned int value = 0;
        if (readUint(type, key, where, &value) && value > 65535)
            warning(where, quoted(key) + " " + std::to_string(value) +
                               " travels cut to 16 bits: " + std::to_string(value & 0xFFFFu));
    }
    if (const rapidjson::Value* list = lastMember(type, "DataIDList")) {
        bool ok = false;
        facts.ids = readIDList(*list, where, "DataIDList", &ok,
                               {false, "the PLC is asked to collect no data"});
        if (!ok)
            facts.ids.clear();
    } else if (facts.groupID < kCurveGroupBase) {
        warning(where, "no \"DataIDList\": the PLC is asked to collect no data for group " +
                           std::to_string(facts.groupID));
    }
    size_t features = 0;
    const char* phases[3] = {"StartTrigger", "SendTrigger", "StopTrigger"};
    for (int phase = 0; phase < 3; ++phase)
        features += walkPhase(type, phases[phase], where, &facts.parameterSets[phase]);
    facts.packetBytes = 8 + 8 + features + 4 + 4 * facts.ids.size() + 2;
    if (facts.packetBytes > kMaxPacket)
        error(where, "the definition of group " + std::to_string(facts.groupID) + " would be a " +
                         std::to_string(facts.packetBytes) +
                         "-byte packet, more than the 1460 bytes of one datagram; it is never "
                         "sent and the trigger download stops here");
    for (const TriggerFacts& other : _triggers) {
        if (other.groupID == facts.groupID)
            warning(where, "group " + std::to_string(facts.groupID) +
                               " is also defined in section " + std::to_string(other.section) +
                               "; the PLC's acknowledgements cannot tell the two apart");
    }
    _triggers.push_back(facts);
}

size_t CommonFileWalk::walkPhase(const rapidjson::Value& type, const char* key,
                                 const std::string& where, size_t* sets)
{
    *sets = 0;
    const rapidjson::Value* phase = lastMember(type, key);
    if (!phase)
        return 2;
    if (!phase->IsArray()) {
        warning(where, quoted(key) + " must be an array of parameter sets, not " +
                           JsonFile::typeName(*phase) + "; it is sent as an empty phase");
        return 2;
    }
    size_t bytes = 2;
    for (rapidjson::SizeType i = 0; i < phase->Size(); ++i) {
        bytes += walkParameterSet((*phase)[i],
                                  where + ", " + quoted(key) + " set " + std::to_string(i + 1));
    }
    *sets = phase->Size();
    return bytes;
}

size_t CommonFileWalk::walkParameterSet(const rapidjson::Value& set, const std::string& where)
{
    if (!set.IsObject()) {
        warning(where, "is " + JsonFile::typeName(set) +
                           ", not an object with \"Condition\"; it is sent without conditions");
        return 2;
    }
    checkKeys(set, {"Condition"}, where);
    const auto conditions = set.FindMember("Condition");
    if (conditions == set.MemberEnd() || !conditions->value.IsArray()) {
        warning(where, conditions == set.MemberEnd()
                           ? "no \"Condition\"; the set is sent without conditions"
                           : "\"Condition\" must be an array, not " +
                                 JsonFile::typeName(conditions->value) +
                                 "; the set is sent without conditions");
        return 2;
    }
    size_t bytes = 2;
    for (rapidjson::SizeType i = 0; i < conditions->value.Size(); ++i) {
        const rapidjson::Value& condition = conditions->value[i];
        const std::string at = where + ", condition " + std::to_string(i + 1);
        if (!condition.IsObject()) {
            warning(at, "is " + JsonFile::typeName(condition) +
                            ", not an object; it and every condition after it are dropped");
            break;
        }
        if (condition.MemberCount() == 0) {
            warning(at, "is an empty object and is dropped");
            continue;
        }
        checkKeys(condition, {"Type", "Params"}, at);
        unsigned int conditionType = 0;
        if (readUint(condition, "Type", at, &conditionType) && conditionType > 65535)
            warning(at, "\"Type\" " + std::to_string(conditionType) + " travels cut to 16 bits");
        size_t params = 0;
        if (const rapidjson::Value* list = lastMember(condition, "Params"))
            params = countParams(*list, at);
        else
            warning(at, "no \"Params\"; the condition is sent without parameters");
        bytes += 4 + 4 * params;
    }
    return bytes;
}

void CommonFileWalk::checkWholeFile()
{
    if (_protocol.section == 0)
        error("", "no protocol section ({\"Protocol\": {...}}): the source has no endpoints and "
                  "sets up no socket");
    if (_lineStatus.section == 0)
        error("", "no line status section (\"Type\" ID 7): no line status request is ever sent, "
                  "so the PLC never asks for the mold set and the link never comes up");
    if (_actual.section == 0)
        warning("", "no actual value section (\"Type\" ID 1): no actual values are requested");
    if (_moldSet.section == 0) {
        error("", "no mold set section (\"Type\" ID 9): the mold set download never completes, "
                  "so the link never reaches state 3");
    } else if (std::none_of(_moldSet.blocks.begin(), _moldSet.blocks.end(),
                            [](const MoldBlockFacts& block) { return block.type == 1; })) {
        error("section " + std::to_string(_moldSet.section) + " (mold set)",
              "no usable mold block with \"Type\" 1, the block downloaded at start-up; the link "
              "never reaches state 3");
    }
    if (_triggers.size() > kMaxTriggers)
        warning("", std::to_string(_triggers.size()) +
                        " trigger definitions; the download counts them with 8 bits, so only "
                        "255 are ever sent");
}

std::string CommonFileWalk::describeIDs(const std::vector<unsigned int>& ids)
{
    std::string text;
    size_t i = 0;
    while (i < ids.size()) {
        size_t j = i;
        while (j + 1 < ids.size() && ids[j + 1] == ids[j] + 1)
            ++j;
        if (!text.empty())
            text += ", ";
        text += std::to_string(ids[i]);
        if (j > i)
            text += "-" + std::to_string(ids[j]);
        i = j + 1;
    }
    return text.empty() ? "none" : text;
}

} // namespace plchost
