// SPDX-License-Identifier: MIT
#include "vexparseplccommon.h"
#include "vexparseplccommon_p.h"

#include "vexdiagnostic.h"
#include "vexfile.h"
#include "vexparseissuelog_p.h"
#include "vexstring.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <string_view>
#include <utility>

#include <rapidjson/error/en.h>

namespace Orrery {

namespace {

using Member = rapidjson::Value::Member;

// Keys may hold escaped NULs, so they are compared with their full length.
bool keyIs(const Member& member, std::string_view key)
{
    return std::string_view(member.name.GetString(), member.name.GetStringLength()) == key;
}

void noteIssue(const rapidjson::Value& value, std::string text)
{
    CvexParseIssueLog::note(value, std::move(text));
}

std::string quoted(std::string_view key)
{
    return "\"" + std::string(key) + "\"";
}

const rapidjson::Value* findMember(const rapidjson::Value& object, const char* key)
{
    const auto member = object.FindMember(key);
    return member == object.MemberEnd() ? nullptr : &member->value;
}

// One key of a record and what its value does to the record; false stops the walk.
struct KeyHandler {
    std::string_view key;
    std::function<bool(const rapidjson::Value&)> apply;
    // What a later occurrence of the key does, for the issue list.
    const char* onRepeat = "this value replaces the earlier one";
};

// The frame every section record shares: only an object with at least one member is walked, its
// members in order, so that a repeated key's last occurrence wins. True when the walk reached the
// end, which is what makes the record valid.
bool walkMembers(const rapidjson::Value& value, std::initializer_list<KeyHandler> handlers)
{
    if (!value.IsObject() || value.MemberCount() == 0) {
        noteIssue(value, value.IsObject() ? "empty object; the record is refused"
                                          : "expected an object; the record is refused");
        return false;
    }
    std::uint32_t seen = 0; // bit i: handlers[i] applied before; records have few keys
    for (const auto& member : value.GetObject()) {
        const auto handler =
            std::find_if(handlers.begin(), handlers.end(),
                         [&member](const KeyHandler& h) { return keyIs(member, h.key); });
        if (handler == handlers.end()) {
            noteIssue(member.value,
                      "unknown key " +
                          quoted({member.name.GetString(), member.name.GetStringLength()}) +
                          "; ignored");
            continue;
        }
        const std::uint32_t bit = 1u << (handler - handlers.begin());
        if ((seen & bit) != 0)
            noteIssue(member.value,
                      "repeated key " + quoted(handler->key) + "; " + handler->onRepeat);
        seen |= bit;
        if (!handler->apply(member.value))
            return false;
    }
    return true;
}

// A value of another JSON type than uint leaves the field as it was.
KeyHandler uintKey(std::string_view key, unsigned int& field)
{
    // The key is a literal; held as a pointer, the capture stays within std::function's own
    // storage, so building a record allocates no more than before.
    return {key, [name = key.data(), &field](const rapidjson::Value& value) {
                if (value.IsUint())
                    field = value.GetUint();
                else
                    noteIssue(value, quoted(name) + " is not an unsigned 32-bit integer; ignored");
                return true;
            }};
}

// The nested record is built afresh from the value and replaces the field, validity included.
template <typename Record> KeyHandler recordKey(std::string_view key, Record& field)
{
    return {key, [&field](const rapidjson::Value& value) {
                field = Record(value);
                return true;
            }};
}

// The frame both number lists share: only a non-empty array is read; the first element that does
// not convert ends the list, keeping the elements before it. True when every element converted.
// `wordName` says what an element must be, for the issue list.
template <typename Word, typename Convert>
bool readList(const rapidjson::Value& value, std::vector<Word>& list, Convert convert,
              const char* wordName)
{
    if (!value.IsArray() || value.Empty()) {
        noteIssue(value, value.IsArray() ? "empty list; refused" : "expected a list; refused");
        return false;
    }
    list.reserve(list.size() + value.Size());
    for (const auto& element : value.GetArray()) {
        Word word{};
        if (!convert(element, word)) {
            noteIssue(element,
                      std::string("not ") + wordName + "; the list ends before it and is refused");
            return false;
        }
        list.push_back(word);
    }
    return true;
}

bool uintWord(const rapidjson::Value& value, unsigned int& word)
{
    if (!value.IsUint())
        return false;
    word = value.GetUint();
    return true;
}

int wordFromBits(std::uint32_t bits)
{
    return static_cast<int>(bits);
}

int floatWord(double number)
{
    // The single-precision range the PLC accepts, a hair inside FLT_MAX.
    constexpr double kFloatLimit = 3.4028234e38;
    if (number >= -kFloatLimit && number <= kFloatLimit) {
        const float single = static_cast<float>(number);
        std::uint32_t bits = 0;
        std::memcpy(&bits, &single, sizeof bits);
        return wordFromBits(bits);
    }
    std::uint64_t bits = 0;
    std::memcpy(&bits, &number, sizeof bits);
    return wordFromBits(static_cast<std::uint32_t>(bits & 0xFFFFFFFFu));
}

// How a number is written decides its word: RapidJSON keeps a number written with a fraction or
// an exponent as a double, and integers as integers. Integer literals that fit 64 but not 32 bits
// are refused; wider ones never reach here as numbers (see CommonFileTree).
bool numberWord(const rapidjson::Value& value, int& word)
{
    if (value.IsInt()) {
        word = value.GetInt();
        return true;
    }
    if (value.IsUint()) {
        word = wordFromBits(value.GetUint());
        return true;
    }
    if (value.IsDouble()) {
        word = floatWord(value.GetDouble());
        return true;
    }
    return false;
}

// The tree of a common file. RapidJSON hands an integer literal too wide for 64 bits to its
// handler as a double, like the same value written with an exponent, yet a number list refuses
// the one and encodes the other. Such a literal is therefore put into the tree as null, which no
// record reads as a number: a uint key keeps its field, a list ends there.
// The text of a common file as RapidJSON's reader sees it: its own bounds, no terminator behind
// it. The reader takes a character only after peeking at it, as with RapidJSON's string stream, so
// only Peek() checks the end; a memory stream checks twice per character and costs a fifth more.
struct TextStream {
    using Ch = char;
    explicit TextStream(std::string_view text)
        : begin_(text.data()), src_(text.data()), end_(text.data() + text.size())
    {
    }
    Ch Peek() const { return src_ != end_ ? *src_ : '\0'; }
    Ch Take() { return *src_++; }
    std::size_t Tell() const { return static_cast<std::size_t>(src_ - begin_); }
    // Never written to: the reader does not parse in place.
    Ch* PutBegin() { return nullptr; }
    void Put(Ch) {}
    void Flush() {}
    std::size_t PutEnd(Ch*) { return 0; }

    const Ch* begin_;
    const Ch* src_;
    const Ch* end_;
};

class CommonFileTree : public rapidjson::Document {
public:
    // False on a syntax error, which syntaxError() then describes.
    // RapidJSON's reader works on a stream of this type in place (only its own string streams are
    // copied), so that a number's handler finds the stream just behind the number's text.
    bool read(std::string_view text)
    {
        TextStream stream(text);
        _stream = &stream;
        auto generate = [this, &stream](rapidjson::Document&) {
            // The iterative reader accepts exactly the texts the default one does, but keeps its
            // nesting on the heap: a file of a million '[' must not exhaust the caller's stack.
            rapidjson::Reader reader;
            _result = reader.Parse<rapidjson::kParseIterativeFlag>(stream, *this);
            return !_result.IsError();
        };
        Populate(generate);
        _stream = nullptr;
        return !_result.IsError();
    }

    rapidjson::ParseResult syntaxError() const { return _result; }

    // Called by the reader in place of the document's own handler.
    bool Double(double number)
    {
        if (writtenAsInteger())
            return Null();
        return rapidjson::Document::Double(number);
    }

private:
    bool writtenAsInteger() const
    {
        constexpr std::string_view kNumberCharacters = "0123456789+-.eE";
        const char* end = _stream->src_;
        const char* begin = end;
        while (begin != _stream->begin_ &&
               kNumberCharacters.find(begin[-1]) != std::string_view::npos)
            --begin;
        return std::string_view(begin, static_cast<std::size_t>(end - begin))
                   .find_first_of(".eE") == std::string_view::npos;
    }

    const TextStream* _stream = nullptr;
    rapidjson::ParseResult _result;
};

} // namespace

// ---------------------------------------------------------------------------------------------

CvexParseArray::CvexParseArray() = default;

CvexParseArray::CvexParseArray(const rapidjson::Value& value)
{
    parse(value);
}

void CvexParseArray::parse(const rapidjson::Value& value)
{
    if (readList(value, _array, uintWord, "an unsigned 32-bit integer"))
        _valid = true;
}

std::vector<unsigned int> CvexParseArray::array() const
{
    return _array;
}

bool CvexParseArray::isValid() const
{
    return _valid;
}

void CvexParseArray::setArray(const std::vector<unsigned int>& array)
{
    _array = array;
}

void CvexParseArray::setValid(bool valid)
{
    _valid = valid;
}

// ---------------------------------------------------------------------------------------------

CvexParseParamsArray::CvexParseParamsArray() = default;

CvexParseParamsArray::CvexParseParamsArray(const rapidjson::Value& value)
{
    parse(value);
}

void CvexParseParamsArray::parse(const rapidjson::Value& value)
{
    const auto convert = [](const rapidjson::Value& element, int& word) {
        if (numberWord(element, word))
            return true;
        CvexDiagnostic() << "Data Type Convert Error .....";
        return false;
    };
    if (readList(value, _array, convert, "a number"))
        _valid = true;
}

std::vector<int> CvexParseParamsArray::array() const
{
    return _array;
}

bool CvexParseParamsArray::isValid() const
{
    return _valid;
}

void CvexParseParamsArray::setArray(const std::vector<int>& array)
{
    _array = array;
}

void CvexParseParamsArray::setValid(bool valid)
{
    _valid = valid;
}

// ---------------------------------------------------------------------------------------------

CvexParseProtocolData::CvexParseProtocolData() = default;

CvexParseProtocolData::CvexParseProtocolData(const rapidjson::Value& value)
{
    parse(value);
}

void CvexParseProtocolData::parse(const rapidjson::Value& value)
{
    const auto ip = [this](const rapidjson::Value& text) {
        if (text.IsString())
            _ip.assign(text.GetString(), text.GetStringLength());
        else
            noteIssue(text, "\"IP\" is not a string; ignored");
        return true;
    };
    if (walkMembers(value, {{"IP", ip}, uintKey("Port", _port)}))
        _valid = true;
}

std::string CvexParseProtocolData::ip() const
{
    return _ip;
}

unsigned int CvexParseProtocolData::port() const
{
    return _port;
}

bool CvexParseProtocolData::isValid() const
{
    return _valid;
}

// ---------------------------------------------------------------------------------------------

CvexParseProtocol::CvexParseProtocol() = default;

CvexParseProtocol::CvexParseProtocol(const rapidjson::Value& value)
{
    parse(value);
}

void CvexParseProtocol::parse(const rapidjson::Value& value)
{
    if (walkMembers(value, {uintKey("Version", _version), uintKey("Private", _priv),
                            recordKey("Src", _source), recordKey("Host", _host)}))
        _valid = true;
}

CvexParseProtocolData CvexParseProtocol::source() const
{
    return _source;
}

CvexParseProtocolData CvexParseProtocol::host() const
{
    return _host;
}

unsigned int CvexParseProtocol::version() const
{
    return _version;
}

unsigned int CvexParseProtocol::priv() const
{
    return _priv;
}

bool CvexParseProtocol::isValid() const
{
    return _valid;
}

// ---------------------------------------------------------------------------------------------

CvexParseActual::CvexParseActual() = default;

CvexParseActual::CvexParseActual(const rapidjson::Value& value)
{
    parse(value);
}

void CvexParseActual::parse(const rapidjson::Value& value)
{
    if (walkMembers(value, {uintKey("ID", _id), uintKey("CycleTime", _cycleTime),
                            recordKey("DataIDList", _dataIDSet)}))
        _valid = true;
}

unsigned int CvexParseActual::ID() const
{
    return _id;
}

unsigned int CvexParseActual::cycleTime() const
{
    return _cycleTime;
}

CvexParseArray CvexParseActual::dataIDSet() const
{
    return _dataIDSet;
}

bool CvexParseActual::isValid() const
{
    return _valid;
}

// ---------------------------------------------------------------------------------------------

CvexParseLineStatus::CvexParseLineStatus() = default;

CvexParseLineStatus::CvexParseLineStatus(const rapidjson::Value& value)
{
    parse(value);
}

void CvexParseLineStatus::parse(const rapidjson::Value& value)
{
    if (walkMembers(value, {uintKey("ID", _id), uintKey("CycleTime", _cycleTime)}))
        _valid = true;
}

unsigned int CvexParseLineStatus::ID() const
{
    return _id;
}

unsigned int CvexParseLineStatus::cycleTime() const
{
    return _cycleTime;
}

unsigned int CvexParseLineStatus::version() const
{
    return _version;
}

unsigned int CvexParseLineStatus::priv() const
{
    return _priv;
}

bool CvexParseLineStatus::isValid() const
{
    return _valid;
}

void CvexParseLineStatus::setVersion(unsigned int version)
{
    _version = version;
}

void CvexParseLineStatus::setPriv(unsigned int priv)
{
    _priv = priv;
}

// ---------------------------------------------------------------------------------------------

CvexParseMoldBlock::CvexParseMoldBlock() = default;

CvexParseMoldBlock::CvexParseMoldBlock(const rapidjson::Value& value)
{
    parse(value);
}

void CvexParseMoldBlock::parse(const rapidjson::Value& value)
{
    if (walkMembers(value, {uintKey("Type", _type), recordKey("DataIDList", _dataIDSet),
                            recordKey("DataTypeList", _dataTypeSet),
                            recordKey("DataStateList", _dataStateSet),
                            recordKey("DataValueList", _dataValueSet)}))
        _valid = 1;
}

unsigned int CvexParseMoldBlock::type() const
{
    return _type;
}

CvexParseArray CvexParseMoldBlock::dataIDSet() const
{
    return _dataIDSet;
}

CvexParseArray CvexParseMoldBlock::dataTypeSet() const
{
    return _dataTypeSet;
}

CvexParseArray CvexParseMoldBlock::dataStateSet() const
{
    return _dataStateSet;
}

CvexParseParamsArray CvexParseMoldBlock::dataValueSet() const
{
    return _dataValueSet;
}

bool CvexParseMoldBlock::isValid() const
{
    return _valid != 0;
}

void CvexParseMoldBlock::setStartPos(unsigned int startPos)
{
    _startPos = startPos;
}

unsigned int CvexParseMoldBlock::queryStartPos() const
{
    return _startPos;
}

void CvexParseMoldBlock::setPackSize(unsigned int packSize)
{
    _packSize = packSize;
}

unsigned int CvexParseMoldBlock::queryPackSize() const
{
    return _packSize;
}

// ---------------------------------------------------------------------------------------------

CvexParseMoldSet::CvexParseMoldSet() = default;

CvexParseMoldSet::CvexParseMoldSet(const rapidjson::Value& value)
{
    parse(value);
}

void CvexParseMoldSet::parse(const rapidjson::Value& value)
{
    const auto moldList = [this](const rapidjson::Value& list) { return parseMoldList(list); };
    const char* const kRepeatedList = "its blocks are added to those of the earlier one";
    if (walkMembers(value, {uintKey("ID", _id), {"MoldList", moldList, kRepeatedList}}))
        _valid = 1;
}

// A repeated "MoldList" adds its blocks to those already filed; a key seen before keeps its
// first block.
bool CvexParseMoldSet::parseMoldList(const rapidjson::Value& list)
{
    if (!list.IsArray()) {
        noteIssue(list, "\"MoldList\" is not a list; the mold set is refused");
        return false;
    }
    for (const auto& element : list.GetArray()) {
        if (!element.IsObject()) {
            noteIssue(element, "mold block is not an object; the mold set is refused");
            return false;
        }
        const rapidjson::Value* key = findMember(element, "Type");
        if (key == nullptr) {
            noteIssue(element, "mold block has no \"Type\"; the mold set is refused");
            return false;
        }
        // A "Type" that is no uint gives the block no key to be filed under; it is left out
        // and the list stays usable.
        if (!key->IsUint())
            noteIssue(*key, "block \"Type\" is not an unsigned 32-bit integer; block left out");
        else if (!_moldList.try_emplace(key->GetUint(), element).second)
            noteIssue(*key, "block type " + std::to_string(key->GetUint()) +
                                " came before; the first block of that type is kept");
    }
    return true;
}

unsigned int CvexParseMoldSet::ID() const
{
    return _id;
}

std::map<unsigned int, CvexParseMoldBlock> CvexParseMoldSet::moldList() const
{
    return _moldList;
}

const std::map<unsigned int, CvexParseMoldBlock>& CvexParseMoldSet::blocks() const
{
    return _moldList;
}

bool CvexParseMoldSet::isValid() const
{
    return _valid != 0;
}

// ---------------------------------------------------------------------------------------------

CvexParseTriggerCondition::CvexParseTriggerCondition() = default;

CvexParseTriggerCondition::CvexParseTriggerCondition(const rapidjson::Value& value)
{
    parse(value);
}

void CvexParseTriggerCondition::parse(const rapidjson::Value& value)
{
    if (walkMembers(value, {uintKey("Type", _type), recordKey("Params", _params)}))
        _valid = true;
}

unsigned int CvexParseTriggerCondition::type() const
{
    return _type;
}

CvexParseParamsArray CvexParseTriggerCondition::params() const
{
    return _params;
}

bool CvexParseTriggerCondition::isValid() const
{
    return _valid;
}

void CvexParseTriggerCondition::setType(unsigned int type)
{
    _type = type;
}

void CvexParseTriggerCondition::setParams(const CvexParseParamsArray& params)
{
    _params = params;
}

void CvexParseTriggerCondition::setValid(bool valid)
{
    _valid = valid;
}

// ---------------------------------------------------------------------------------------------

CvexParseTriggerParamSet::CvexParseTriggerParamSet() = default;

CvexParseTriggerParamSet::CvexParseTriggerParamSet(const rapidjson::Value& value)
{
    parse(value);
}

void CvexParseTriggerParamSet::parse(const rapidjson::Value& value)
{
    if (!value.IsObject()) {
        noteIssue(value, "parameter set is not an object; refused");
        return;
    }
    const rapidjson::Value* list = findMember(value, "Condition");
    if (list == nullptr || !list->IsArray()) {
        noteIssue(list == nullptr ? value : *list,
                  "parameter set has no \"Condition\" list; refused");
        return;
    }
    for (const auto& element : list->GetArray()) {
        if (!element.IsObject()) {
            noteIssue(element, "condition is not an object; the parameter set is refused");
            return;
        }
        CvexParseTriggerCondition condition(element);
        // The PLC is only ever sent conditions that say something.
        if (condition.isValid())
            _conditions.push_back(condition);
    }
    _valid = true;
}

std::vector<CvexParseTriggerCondition> CvexParseTriggerParamSet::conditions() const
{
    return _conditions;
}

bool CvexParseTriggerParamSet::isValid() const
{
    return _valid;
}

void CvexParseTriggerParamSet::setConditions(std::vector<CvexParseTriggerCondition>& conditions)
{
    _conditions = conditions;
}

void CvexParseTriggerParamSet::setValid(bool valid)
{
    _valid = valid;
}

// ---------------------------------------------------------------------------------------------

CvexParseTriggerFeature::CvexParseTriggerFeature() = default;

CvexParseTriggerFeature::CvexParseTriggerFeature(const rapidjson::Value& value)
{
    parse(value);
}

void CvexParseTriggerFeature::parse(const rapidjson::Value& value)
{
    if (!value.IsArray()) {
        noteIssue(value, "trigger phase is not a list of parameter sets; refused");
        return;
    }
    for (const auto& element : value.GetArray())
        _triggerParams.emplace_back(element);
    _valid = true;
}

std::vector<CvexParseTriggerParamSet> CvexParseTriggerFeature::triggerParams() const
{
    return _triggerParams;
}

bool CvexParseTriggerFeature::isValid() const
{
    return _valid;
}

void CvexParseTriggerFeature::setTriggerParams(
    const std::vector<CvexParseTriggerParamSet>& triggerParams)
{
    _triggerParams = triggerParams;
}

void CvexParseTriggerFeature::setValid(bool valid)
{
    _valid = valid;
}

// ---------------------------------------------------------------------------------------------

CvexParseTrigger::CvexParseTrigger() = default;

CvexParseTrigger::CvexParseTrigger(const rapidjson::Value& value)
{
    parse(value);
}

CvexParseTrigger::CvexParseTrigger(const CvexParseTrigger& other) = default;
CvexParseTrigger& CvexParseTrigger::operator=(const CvexParseTrigger& other) = default;
CvexParseTrigger::~CvexParseTrigger() = default;

void CvexParseTrigger::parse(const rapidjson::Value& value)
{
    if (walkMembers(value,
                    {uintKey("ID", _id), uintKey("GroupID", _groupID), uintKey("OutTime", _outTime),
                     uintKey("DelayTime", _delayTime), uintKey("SendCount", _sendCount),
                     uintKey("DataIDFlag", _dataIDFlag), recordKey("DataIDList", _dataIDSet),
                     recordKey("StartTrigger", _startTrigger),
                     recordKey("SendTrigger", _sendTrigger),
                     recordKey("StopTrigger", _stopTrigger)}))
        _valid = true;
}

unsigned int CvexParseTrigger::ID() const
{
    return _id;
}

unsigned int CvexParseTrigger::groupID() const
{
    return _groupID;
}

unsigned int CvexParseTrigger::outTime() const
{
    return _outTime;
}

unsigned int CvexParseTrigger::delayTime() const
{
    return _delayTime;
}

unsigned int CvexParseTrigger::sendCount() const
{
    return _sendCount;
}

unsigned int CvexParseTrigger::dataIDFlag() const
{
    return _dataIDFlag;
}

CvexParseArray CvexParseTrigger::dataIDSet() const
{
    return _dataIDSet;
}

CvexParseTriggerFeature CvexParseTrigger::startTrigger() const
{
    return _startTrigger;
}

CvexParseTriggerFeature CvexParseTrigger::sendTrigger() const
{
    return _sendTrigger;
}

CvexParseTriggerFeature CvexParseTrigger::stopTrigger() const
{
    return _stopTrigger;
}

bool CvexParseTrigger::isValid() const
{
    return _valid;
}

void CvexParseTrigger::setID(unsigned int id)
{
    _id = id;
}

void CvexParseTrigger::setGroupID(unsigned int groupID)
{
    _groupID = groupID;
}

void CvexParseTrigger::setOutTime(unsigned int outTime)
{
    _outTime = outTime;
}

void CvexParseTrigger::setDelayTime(unsigned int delayTime)
{
    _delayTime = delayTime;
}

void CvexParseTrigger::setSendCount(unsigned int sendCount)
{
    _sendCount = sendCount;
}

void CvexParseTrigger::setDataIDFlag(unsigned int dataIDFlag)
{
    _dataIDFlag = dataIDFlag;
}

void CvexParseTrigger::setDataIDSet(const CvexParseArray& dataIDSet)
{
    _dataIDSet = dataIDSet;
}

void CvexParseTrigger::setStartTrigger(const CvexParseTriggerFeature& startTrigger)
{
    _startTrigger = startTrigger;
}

void CvexParseTrigger::setSendTrigger(const CvexParseTriggerFeature& sendTrigger)
{
    _sendTrigger = sendTrigger;
}

void CvexParseTrigger::setStopTrigger(const CvexParseTriggerFeature& stopTrigger)
{
    _stopTrigger = stopTrigger;
}

void CvexParseTrigger::setValid(bool valid)
{
    _valid = valid;
}

// ---------------------------------------------------------------------------------------------

CvexParsePlcCommon::CvexParsePlcCommon() = default;

CvexParsePlcCommon::CvexParsePlcCommon(const std::string& path)
{
    parse(path);
}

void CvexParsePlcCommon::parse(const std::string& path)
{
    CvexFile file(CvexString::fromUtf8(path.c_str(), -1));
    file.open(CvexDevice::ReadOnly);
    if (!file.isOpen()) {
        _issues.push_back({"", 0, "cannot open the file"});
        return;
    }
    const CvexByteArray content = file.readAll();
    if (content.size() == 0) {
        _issues.push_back({"", 0, "the file is empty"});
        return;
    }
    parseText(std::string_view(content.constData(), static_cast<std::size_t>(content.size())));
}

void CvexParsePlcCommon::parseText(std::string_view text)
{
    CvexParseIssueLog issueLog;
    CommonFileTree document;
    if (document.read(text))
        parseDocument(document);
    else
        issueLog.noteFile(std::string("JSON syntax error: ") +
                              rapidjson::GetParseError_En(document.syntaxError().Code()),
                          document.syntaxError().Offset());
    _issues = issueLog.issues(document, text);
}

void CvexParsePlcCommon::parseDocument(const rapidjson::Value& document)
{
    if (!document.IsArray()) {
        noteIssue(document, "the file is not a list of sections; refused");
        return;
    }
    for (const auto& section : document.GetArray()) {
        if (!parseSection(section))
            return;
    }
    // Only now, so that the order of the protocol and line status sections does not matter.
    if (_protocol.isValid()) {
        CvexDiagnostic() << "parse version: " << _protocol.version();
        _lineStatus.setVersion(_protocol.version());
        _lineStatus.setPriv(_protocol.priv());
    }
    _valid = true;
}

bool CvexParsePlcCommon::parseSection(const rapidjson::Value& section)
{
    if (!section.IsObject()) {
        noteIssue(section, "section is not an object; the file is refused");
        return false;
    }
    if (const rapidjson::Value* type = findMember(section, "Type")) {
        if (!type->IsObject() || findMember(*type, "ID") == nullptr) {
            noteIssue(*type, "\"Type\" is not an object with an \"ID\"; the file is refused");
            return false;
        }
        parseTypedSection(*type);
        return true;
    }
    if (const rapidjson::Value* protocol = findMember(section, "Protocol")) {
        noteRepeatedSection(*protocol, 0);
        _protocol = CvexParseProtocol(*protocol);
    } else {
        noteIssue(section, "section has neither \"Type\" nor \"Protocol\"; ignored");
    }
    return true;
}

void CvexParsePlcCommon::parseTypedSection(const rapidjson::Value& type)
{
    const rapidjson::Value& code = *findMember(type, "ID");
    // A section code that is no uint names no known section, like an unknown code.
    if (!code.IsUint()) {
        noteIssue(code, "section \"ID\" is not an unsigned 32-bit integer; section ignored");
        return;
    }
    switch (code.GetUint()) {
    case 1:
        noteRepeatedSection(type, 1);
        _actual = CvexParseActual(type);
        break;
    case 7:
        noteRepeatedSection(type, 7);
        _lineStatus = CvexParseLineStatus(type);
        break;
    case 9:
        noteRepeatedSection(type, 9);
        _moldSet = CvexParseMoldSet(type);
        break;
    case 17:
        // Built in its place in the list: a trigger holds lists of its own.
        _triggers.emplace_back(type);
        if (!_triggers.back().isValid())
            _triggers.pop_back();
        break;
    default:
        noteIssue(code, "unknown section ID " + std::to_string(code.GetUint()) + "; ignored");
        break;
    }
}

void CvexParsePlcCommon::noteRepeatedSection(const rapidjson::Value& section, unsigned int code)
{
    const unsigned int bit = 1u << code;
    if ((_sectionsSeen & bit) != 0)
        noteIssue(section, "repeated section; it replaces the earlier one");
    _sectionsSeen |= bit;
}

CvexParseProtocol CvexParsePlcCommon::protocol() const
{
    return _protocol;
}

CvexParseActual CvexParsePlcCommon::actual() const
{
    return _actual;
}

CvexParseLineStatus CvexParsePlcCommon::lineStatus() const
{
    return _lineStatus;
}

CvexParseMoldSet CvexParsePlcCommon::moldSet() const
{
    return _moldSet;
}

std::vector<CvexParseTrigger> CvexParsePlcCommon::triggers() const
{
    return _triggers;
}

const CvexParseMoldSet& CvexParsePlcCommon::moldSetRecord() const
{
    return _moldSet;
}

const std::vector<CvexParseTrigger>& CvexParsePlcCommon::triggerList() const
{
    return _triggers;
}

bool CvexParsePlcCommon::isValid() const
{
    return _valid;
}

std::vector<CvexParseIssue> CvexParsePlcCommon::issues() const
{
    return _issues;
}

// ---------------------------------------------------------------------------------------------

CvexParsePlcCommon CvexParsePlcCommonText::parse(const char* text, std::size_t size)
{
    CvexParsePlcCommon config;
    if (text != nullptr)
        config.parseText(std::string_view(text, size));
    return config;
}

} // namespace Orrery
