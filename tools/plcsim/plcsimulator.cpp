// SPDX-License-Identifier: MIT
#include "plcsimulator.h"

#include "plcbytes.h"
#include "plcsimulator_p.h"

#include <algorithm>

namespace vexsim {

namespace {

using std::chrono::milliseconds;

constexpr uint16_t kActualRequest = 1;
constexpr uint16_t kReadParamRequest = 2;
constexpr uint16_t kWriteParamRequest = 3;
constexpr uint16_t kActionRequest = 6;
constexpr uint16_t kLineStatusRequest = 7;
constexpr uint16_t kMoldSetStatusRequest = 8;
constexpr uint16_t kMoldSetPack = 9;
constexpr uint16_t kTriggerDefinition = 17;
constexpr uint16_t kAlarmAnswer = 2004;
constexpr uint16_t kTriggerConfirmation = 2018;

constexpr size_t kCommonMinimum = reply::kCommonHeadSize + reply::kTailSize;
constexpr size_t kRecordSize = 10;
// Records per reply so that a reply stays within 1460 bytes.
constexpr size_t kRecordsPerReply = 144;
constexpr size_t kItemsPerTriggered = 180;
constexpr size_t kCurvePointsPerPacket = 60;
constexpr size_t kCurvePackets = 3;
constexpr size_t kMaxTriggerGroups = 32;
constexpr uint16_t kCurveGroupBase = 100;
constexpr uint16_t kCurveContinues = 1;
constexpr uint16_t kCurveLast = 3;
// A group's next buffer goes out this long after the previous one was confirmed: the PLC's send
// cycle. Confirmations the host sends for a repeated datagram come within it and find nothing
// in flight, so they cannot settle a buffer the host never received.
constexpr std::chrono::milliseconds kConfirmSettle{100};
constexpr uint16_t kStatusMemoryOverflow = 0xFFFF;
constexpr uint16_t kStatusConfigureError = 0xFFDF;
constexpr uint16_t kStatusDataRequestError = 0xFFDE;
constexpr uint16_t kErrorUnknownData = 2;
constexpr uint16_t kErrorTooMany = 1;
constexpr uint32_t kActionFailed = 0x80000000u;
constexpr uint32_t kFirstAlarmNumber = 1000;
constexpr milliseconds kMinimumCycle{100};
constexpr milliseconds kMinimumActualCycle{10};
// Without an expected count, the table is complete once no definition came for this long.
constexpr milliseconds kTriggerSettle{250};

// How many whole items of `size` bytes a common-family datagram holds after its head when its
// item count claims `claimed`: never more than lies before the tail.
size_t wholeItems(const std::string& datagram, size_t size, uint16_t claimed)
{
    if (datagram.size() < kCommonMinimum)
        return 0;
    const size_t room = (datagram.size() - kCommonMinimum) / size;
    return std::min<size_t>(room, claimed);
}

uint16_t itemCount(const std::string& datagram)
{
    uint16_t count = 0;
    readU16(datagram, 10, count);
    return count;
}

Record readRecord(const std::string& datagram, size_t offset)
{
    Record record{0, 0, 0, 0};
    readU32(datagram, offset, record.id);
    record.type = static_cast<uint8_t>(datagram[offset + 4]);
    record.state = static_cast<uint8_t>(datagram[offset + 5]);
    readU32(datagram, offset + 6, record.raw);
    return record;
}

// Walks one feature of a trigger definition: P sets of C conditions of Q words each.
bool skipFeature(const std::string& datagram, size_t& offset)
{
    uint16_t sets = 0;
    if (!readU16(datagram, offset, sets))
        return false;
    offset += 2;
    for (uint16_t s = 0; s < sets; ++s) {
        uint16_t conditions = 0;
        if (!readU16(datagram, offset, conditions))
            return false;
        offset += 2;
        for (uint16_t c = 0; c < conditions; ++c) {
            uint16_t words = 0;
            if (!readU16(datagram, offset + 2, words))
                return false;
            offset += 4 + 4 * static_cast<size_t>(words);
            if (offset > datagram.size())
                return false;
        }
    }
    return true;
}

} // namespace

bool parseTriggerDefinition(const std::string& datagram, TriggerDefinition& definition)
{
    if (!readU16(datagram, 8, definition.group) || !readU16(datagram, 10, definition.outTime) ||
        !readU16(datagram, 12, definition.delayTime) ||
        !readU16(datagram, 14, definition.sendCount))
        return false;
    size_t offset = 16;
    for (int feature = 0; feature < 3; ++feature) {
        if (!skipFeature(datagram, offset))
            return false;
    }
    uint16_t count = 0;
    if (!readU16(datagram, offset, definition.dataIDFlag) || !readU16(datagram, offset + 2, count))
        return false;
    offset += 4;
    definition.dataIDs.clear();
    for (uint16_t i = 0; i < count; ++i, offset += 4) {
        uint32_t id = 0;
        // The IDs must end before the 2-byte tail.
        if (offset + 4 + reply::kTailSize > datagram.size() || !readU32(datagram, offset, id))
            return false;
        definition.dataIDs.push_back(id);
    }
    return true;
}

PlcSimulatorPrivate::PlcSimulatorPrivate(const SimulatorOptions& simOptions,
                                         const ItemTable& itemTable, Clock::time_point start)
    : options(simOptions), items(itemTable),
      process(simOptions.seed, start, simOptions.shotInterval), lastProgress(start),
      lastContact(start), lastDefinition(start), nextActual(start),
      nextShot(start + std::max(simOptions.shotInterval, milliseconds(1))),
      nextAlarm(start + simOptions.alarmInterval),
      nextMoldChange(start + simOptions.moldChangeInterval)
{
    for (const auto& entry : items.items()) {
        const ItemInfo& item = entry.second;
        parameters[item.id] = {item.id, item.dataType, 1,
                               rawForDataType(item.dataType, item.value)};
    }
}

void PlcSimulatorPrivate::dispatch(const std::string& datagram, uint16_t type,
                                   Clock::time_point now, std::vector<std::string>& out)
{
    std::string answer;
    switch (type) {
    case kLineStatusRequest:
        answer = answerLineStatus(datagram, now);
        break;
    case kMoldSetPack:
        answer = acceptMoldSetPack(datagram, now);
        break;
    case kMoldSetStatusRequest:
        answer = answerMoldSetStatus(datagram, now);
        break;
    case kActualRequest:
        subscribe(datagram, now);
        break;
    case kTriggerDefinition:
        answer = answerTrigger(datagram, now);
        break;
    case kTriggerConfirmation:
        confirmTriggered(datagram, now);
        break;
    case kAlarmAnswer:
        answerAlarm(datagram);
        break;
    case kReadParamRequest:
        answer = answerReadParam(datagram);
        break;
    case kWriteParamRequest:
        answer = answerWriteParam(datagram);
        break;
    case kActionRequest:
        answer = answerAction(datagram);
        break;
    default:
        ++counters.unknownType;
        break;
    }
    if (!answer.empty())
        out.push_back(std::move(answer));
}

std::string PlcSimulatorPrivate::answerLineStatus(const std::string& datagram,
                                                  Clock::time_point now)
{
    uint16_t version = 0;
    uint32_t cycleMs = 0;
    if (!readU16(datagram, 8, version) || !readU32(datagram, 12, cycleMs)) {
        ++counters.malformed;
        return std::string();
    }
    cycle = std::max(milliseconds(cycleMs), kMinimumCycle);
    const int32_t status = version == options.version ? linkStatus(cycle, now)
                                                      : int32_t(PlcSimulator::VersionMismatch);
    lastStatus = status;
    uint16_t number = 0;
    readU16(datagram, 6, number);
    // The answer echoes the request's number, so that a log pairs requests with answers.
    return reply::lineStatus(status, number);
}

int32_t PlcSimulatorPrivate::linkStatus(milliseconds lineCycle, Clock::time_point now)
{
    const bool stalled = now - lastProgress >= lineCycle;
    switch (link) {
    case Link::Fresh:
        restartLink(now);
        return PlcSimulator::WantsMoldSet;
    case Link::Pending:
        break;
    case Link::Confirmed:
        if (triggerTableComplete(now)) {
            link = Link::Ready;
            return PlcSimulator::Ready;
        }
        break;
    case Link::Ready:
        return PlcSimulator::Ready;
    }
    if (stalled) {
        // A lost pack, acknowledgement or definition stops the host's chain; only a fresh
        // download starts it again.
        restartLink(now);
        return PlcSimulator::WantsMoldSet;
    }
    return PlcSimulator::Downloading;
}

void PlcSimulatorPrivate::restartLink(Clock::time_point now)
{
    link = Link::Pending;
    lastProgress = now;
    downloadOpen = false;
    ++counters.freshDownloadsAsked;
}

bool PlcSimulatorPrivate::triggerTableComplete(Clock::time_point now) const
{
    if (options.expectedTriggers > 0)
        return triggers.size() >= static_cast<size_t>(options.expectedTriggers);
    return now - lastDefinition >= kTriggerSettle;
}

std::string PlcSimulatorPrivate::acceptMoldSetPack(const std::string& datagram,
                                                   Clock::time_point now)
{
    if (datagram.size() < kCommonMinimum) {
        ++counters.malformed;
        return std::string();
    }
    if (!downloadOpen) {
        // The first pack after a status request begins a new download: only its values count.
        moldSet.clear();
        downloadOpen = true;
    }
    if (link != Link::Pending)
        link = Link::Pending;
    lastProgress = now;
    const size_t records = wholeItems(datagram, kRecordSize, itemCount(datagram));
    uint16_t accepted = 0;
    for (size_t i = 0; i < records; ++i) {
        const Record record = readRecord(datagram, reply::kCommonHeadSize + i * kRecordSize);
        if (record.state != 1)
            continue;
        moldSet[record.id] = record;
        // The PLC now holds this value: a read of the parameter answers it.
        parameters[record.id] = record;
        ++accepted;
    }
    uint16_t number = 0;
    readU16(datagram, 6, number);
    return reply::moldSetAck(accepted, number);
}

std::string PlcSimulatorPrivate::answerMoldSetStatus(const std::string& datagram,
                                                     Clock::time_point now)
{
    uint32_t expected = 0;
    if (datagram.size() < kCommonMinimum || !readU32(datagram, 12, expected)) {
        ++counters.malformed;
        return std::string();
    }
    downloadOpen = false;
    lastProgress = now;
    const auto held = static_cast<int32_t>(moldSet.size());
    if (held == static_cast<int32_t>(expected) && link == Link::Pending) {
        // The host now downloads its trigger table from the start.
        link = Link::Confirmed;
        triggers.clear();
        outstanding.clear();
        lastDefinition = now;
        ++counters.moldSetsConfirmed;
    }
    uint16_t number = 0;
    readU16(datagram, 6, number);
    return reply::moldSetStatus(held, number);
}

void PlcSimulatorPrivate::subscribe(const std::string& datagram, Clock::time_point now)
{
    uint16_t cycleMs = 0;
    if (datagram.size() < kCommonMinimum || !readU16(datagram, 8, cycleMs)) {
        ++counters.malformed;
        return;
    }
    const size_t count = wholeItems(datagram, 4, itemCount(datagram));
    actualIDs.clear();
    for (size_t i = 0; i < count; ++i) {
        uint32_t id = 0;
        readU32(datagram, reply::kCommonHeadSize + 4 * i, id);
        actualIDs.push_back(id);
    }
    actualCycle = std::max(milliseconds(cycleMs), kMinimumActualCycle);
    nextActual = now + actualCycle;
}

std::string PlcSimulatorPrivate::answerTrigger(const std::string& datagram, Clock::time_point now)
{
    TriggerDefinition definition;
    const bool complete = parseTriggerDefinition(datagram, definition);
    if (!complete) {
        ++counters.malformed;
        if (datagram.size() < 10)
            return std::string();
        return reply::triggerAck(definition.group, kStatusConfigureError, {}, nextNumber());
    }
    lastProgress = now;
    lastDefinition = now;
    if (triggers.count(definition.group) == 0 && triggers.size() >= kMaxTriggerGroups)
        return reply::triggerAck(definition.group, kStatusMemoryOverflow, {}, nextNumber());
    uint16_t status = 0;
    std::vector<reply::Failed> failed;
    if (definition.dataIDs.size() > kItemsPerTriggered) {
        status = kStatusDataRequestError;
        for (size_t i = kItemsPerTriggered; i < definition.dataIDs.size(); ++i)
            failed.push_back({definition.dataIDs[i], kErrorTooMany});
        definition.dataIDs.resize(kItemsPerTriggered);
    }
    if (definition.group == options.failGroup && !definition.dataIDs.empty()) {
        status = kStatusDataRequestError;
        failed.insert(failed.begin(), {definition.dataIDs.front(), kErrorUnknownData});
        definition.dataIDs.erase(definition.dataIDs.begin());
    }
    // A reply holds at most 241 failed entries within 1460 bytes.
    if (failed.size() > 241)
        failed.resize(241);
    const uint16_t group = definition.group;
    triggers[group] = std::move(definition);
    return reply::triggerAck(group, status, failed, nextNumber());
}

void PlcSimulatorPrivate::confirmTriggered(const std::string& datagram, Clock::time_point now)
{
    uint16_t group = 0;
    if (!readU16(datagram, 8, group)) {
        ++counters.malformed;
        return;
    }
    // A confirmation names only the group: it settles the group's buffer in flight, and only
    // that one. One that comes while none is in flight is a surplus one.
    const auto it =
        std::find_if(outstanding.begin(), outstanding.end(),
                     [group](const Outstanding& entry) { return entry.group == group; });
    if (it == outstanding.end() || !it->sent)
        return;
    outstanding.erase(it);
    lastConfirmed[group] = now;
    ++counters.triggeredConfirmed;
}

void PlcSimulatorPrivate::answerAlarm(const std::string& datagram)
{
    uint32_t number = 0;
    if (!readU32(datagram, 14, number)) {
        ++counters.malformed;
        return;
    }
    if (openAlarms.erase(number) > 0)
        ++counters.alarmsAnswered;
}

std::string PlcSimulatorPrivate::answerReadParam(const std::string& datagram)
{
    const size_t count = wholeItems(datagram, 4, itemCount(datagram));
    if (datagram.size() < kCommonMinimum) {
        ++counters.malformed;
        return std::string();
    }
    std::vector<Record> records;
    for (size_t i = 0; i < std::min(count, kRecordsPerReply); ++i) {
        uint32_t id = 0;
        readU32(datagram, reply::kCommonHeadSize + 4 * i, id);
        const auto parameter = parameters.find(id);
        const auto mold = moldSet.find(id);
        if (parameter != parameters.end())
            records.push_back(parameter->second);
        else if (mold != moldSet.end())
            records.push_back(mold->second);
        else
            records.push_back({id, 0, 0, 0}); // unknown to the PLC: not valid
    }
    uint16_t number = 0;
    readU16(datagram, 6, number);
    return reply::readParam(records, number);
}

std::string PlcSimulatorPrivate::answerWriteParam(const std::string& datagram)
{
    if (datagram.size() < kCommonMinimum) {
        ++counters.malformed;
        return std::string();
    }
    const size_t count = wholeItems(datagram, kRecordSize, itemCount(datagram));
    std::vector<Record> records;
    for (size_t i = 0; i < std::min(count, kRecordsPerReply); ++i) {
        Record record = readRecord(datagram, reply::kCommonHeadSize + i * kRecordSize);
        if (record.state == 1)
            parameters[record.id] = record;
        else
            record.state = 0;
        records.push_back(record);
    }
    uint16_t number = 0;
    readU16(datagram, 6, number);
    return reply::writeParam(records, number);
}

std::string PlcSimulatorPrivate::answerAction(const std::string& datagram)
{
    if (datagram.size() < kCommonMinimum) {
        ++counters.malformed;
        return std::string();
    }
    const size_t count = wholeItems(datagram, 4, itemCount(datagram));
    std::vector<uint32_t> states;
    for (size_t i = 0; i < std::min<size_t>(count, 361); ++i) {
        uint32_t code = 0;
        readU32(datagram, reply::kCommonHeadSize + 4 * i, code);
        // Code 0 names no action; everything else is carried out.
        states.push_back(code == 0 ? kActionFailed : 1u);
    }
    uint16_t number = 0;
    readU16(datagram, 6, number);
    return reply::action(states, number);
}

void PlcSimulatorPrivate::pushActualValues(Clock::time_point now, std::vector<std::string>& out)
{
    if (actualIDs.empty() || now < nextActual)
        return;
    std::vector<Record> records;
    for (uint32_t id : actualIDs) {
        const ItemInfo* item = items.find(id);
        const uint8_t code = item ? item->dataType : ItemTable::kDefaultDataType;
        const double value = process.actualValue(id, item, now);
        records.push_back({id, code, 1, rawForDataType(code, value)});
        if (records.size() == kRecordsPerReply) {
            out.push_back(reply::actualValues(records, nextNumber()));
            records.clear();
        }
    }
    if (!records.empty())
        out.push_back(reply::actualValues(records, nextNumber()));
    nextActual += actualCycle;
    if (nextActual <= now) // fell behind: skip the missed cycles rather than burst
        nextActual = now + actualCycle;
}

void PlcSimulatorPrivate::fireShot(Clock::time_point now, std::vector<std::string>& out)
{
    process.startShot(++shot, now);
    if (link != Link::Confirmed && link != Link::Ready)
        return;
    for (const auto& entry : triggers) {
        const TriggerDefinition& definition = entry.second;
        if (definition.group < kCurveGroupBase) {
            std::vector<std::pair<uint32_t, uint32_t>> values;
            for (uint32_t id : definition.dataIDs) {
                const ItemInfo* item = items.find(id);
                const unsigned valueT = item ? item->valueT : ItemTable::kDefaultValueT;
                values.emplace_back(id, rawForValueT(valueT, process.shotValue(id, item)));
            }
            sendTriggered(definition.group,
                          reply::triggeredData(definition.group, values, nextNumber()), now, out);
            continue;
        }
        const std::vector<float> samples =
            process.shotCurve(kCurvePointsPerPacket * kCurvePackets,
                              ProcessModel::curveSeries(definition.dataIDs, items));
        const size_t perPacket = kCurvePointsPerPacket * 4;
        for (size_t first = 0; first < samples.size(); first += perPacket) {
            const size_t last = std::min(first + perPacket, samples.size());
            const uint16_t state = last == samples.size() ? kCurveLast : kCurveContinues;
            const std::vector<float> part(samples.begin() + static_cast<long>(first),
                                          samples.begin() + static_cast<long>(last));
            sendTriggered(definition.group,
                          reply::curve(definition.group, state, part, nextNumber()), now, out);
        }
    }
}

void PlcSimulatorPrivate::sendTriggered(uint16_t group, std::string bytes, Clock::time_point now,
                                        std::vector<std::string>& out)
{
    outstanding.push_back({group, std::move(bytes), false, now, 0});
    sendNextBuffers(now, out);
}

// One buffer per group in flight, as a PLC that resends its buffer until it is confirmed.
void PlcSimulatorPrivate::sendNextBuffers(Clock::time_point now, std::vector<std::string>& out)
{
    std::set<uint16_t> busy;
    for (Outstanding& entry : outstanding) {
        if (!busy.insert(entry.group).second || entry.sent)
            continue;
        const auto confirmed = lastConfirmed.find(entry.group);
        if (confirmed != lastConfirmed.end() && now - confirmed->second < kConfirmSettle)
            continue;
        entry.sent = true;
        entry.sentAt = now;
        ++counters.triggeredSent;
        out.push_back(entry.bytes);
    }
}

void PlcSimulatorPrivate::resendUnconfirmed(Clock::time_point now, std::vector<std::string>& out)
{
    for (auto it = outstanding.begin(); it != outstanding.end();) {
        if (!it->sent || now - it->sentAt < options.confirmTimeout) {
            ++it;
            continue;
        }
        if (it->resends >= options.maxResends) {
            ++counters.triggeredAbandoned;
            it = outstanding.erase(it);
            continue;
        }
        ++it->resends;
        it->sentAt = now;
        ++counters.triggeredResent;
        out.push_back(it->bytes);
        ++it;
    }
}

std::string PlcSimulatorPrivate::raiseAlarm()
{
    const auto alarmNumber = static_cast<uint32_t>(kFirstAlarmNumber + counters.alarmsRaised);
    const auto alarmByte = static_cast<uint8_t>(1 + counters.alarmsRaised % 3);
    ++counters.alarmsRaised;
    openAlarms.insert(alarmNumber);
    return reply::alarm({{alarmByte, alarmNumber}}, nextNumber());
}

PlcSimulator::PlcSimulator(const SimulatorOptions& options, const ItemTable& items,
                           Clock::time_point start)
    : _d(std::make_unique<PlcSimulatorPrivate>(options, items, start))
{
}

PlcSimulator::~PlcSimulator() = default;

std::vector<std::string> PlcSimulator::receive(const std::string& datagram, Clock::time_point now)
{
    PlcSimulatorPrivate* d = d_func();
    std::vector<std::string> out;
    uint16_t type = 0;
    if (!readU16(datagram, 4, type)) {
        ++d->counters.malformed;
        return out;
    }
    // A host that was quiet for two of its cycles has restarted or been replaced: it knows
    // nothing of the PLC's state, so the link comes up from the start.
    if (!d->contacted || now - d->lastContact >= 2 * d->cycle) {
        if (d->contacted)
            d->link = PlcSimulatorPrivate::Link::Fresh;
        d->contacted = true;
    }
    d->lastContact = now;
    d->dispatch(datagram, type, now, out);
    return out;
}

std::vector<std::string> PlcSimulator::advance(Clock::time_point now)
{
    PlcSimulatorPrivate* d = d_func();
    std::vector<std::string> out;
    d->pushActualValues(now, out);
    if (now >= d->nextShot) {
        d->fireShot(now, out);
        d->nextShot = std::max(d->nextShot + d->options.shotInterval, now);
    }
    d->resendUnconfirmed(now, out);
    d->sendNextBuffers(now, out);
    if (d->options.alarmInterval.count() > 0 && now >= d->nextAlarm) {
        out.push_back(d->raiseAlarm());
        d->nextAlarm = std::max(d->nextAlarm + d->options.alarmInterval, now);
    }
    if (d->options.moldChangeInterval.count() > 0 && now >= d->nextMoldChange) {
        changeMold();
        d->nextMoldChange = std::max(d->nextMoldChange + d->options.moldChangeInterval, now);
    }
    return out;
}

std::string PlcSimulator::raiseAlarm()
{
    return d_func()->raiseAlarm();
}

void PlcSimulator::changeMold()
{
    PlcSimulatorPrivate* d = d_func();
    d->link = PlcSimulatorPrivate::Link::Fresh;
    d->moldSet.clear();
    d->downloadOpen = false;
    d->triggers.clear();
    d->outstanding.clear();
}

int32_t PlcSimulator::lineStatus() const
{
    return d_func()->lastStatus;
}

size_t PlcSimulator::heldMoldValues() const
{
    return d_func()->moldSet.size();
}

std::vector<uint16_t> PlcSimulator::triggerGroups() const
{
    std::vector<uint16_t> groups;
    for (const auto& entry : d_func()->triggers)
        groups.push_back(entry.first);
    return groups;
}

std::vector<uint32_t> PlcSimulator::triggerDataIDs(uint16_t group) const
{
    const auto& triggers = d_func()->triggers;
    const auto it = triggers.find(group);
    return it == triggers.end() ? std::vector<uint32_t>() : it->second.dataIDs;
}

bool PlcSimulator::parameter(uint32_t id, Record& record) const
{
    const auto& parameters = d_func()->parameters;
    const auto it = parameters.find(id);
    if (it == parameters.end())
        return false;
    record = it->second;
    return true;
}

size_t PlcSimulator::unconfirmedTriggered() const
{
    return d_func()->outstanding.size();
}

const SimulatorCounters& PlcSimulator::counters() const
{
    return d_func()->counters;
}

} // namespace vexsim
