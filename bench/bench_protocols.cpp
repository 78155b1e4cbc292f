// SPDX-License-Identifier: MIT
// The receive and send hot paths: how long one reply takes from datagram to stored values, and one
// request from record to packet. A PLC sends actual values every cycle and curves at every shot,
// so these run thousands of times a second on a busy machine.
#include "vexabstractcontroldata.h"
#include "vexcontroldatafactory.h"
#include "vexdbstoragefactory.h"
#include "vexparseplccommon.h"
#include "vexplcactualprotocol.h"
#include "vexplccommon.h"
#include "vexplcmoldsetprotocol.h"
#include "vexplctriggerconfirmprotocol.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

using namespace Orrery;

namespace {

void putLE(std::string& out, uint32_t value, int width)
{
    for (int i = 0; i < width; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

uint32_t floatBits(float value)
{
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// A PLC reply: the head words (the length word is filled in here), the payload and the tail.
CvexByteArray reply(std::vector<uint16_t> head, const std::string& payload)
{
    head[1] = static_cast<uint16_t>(head.size() * 2 + payload.size() + 2);
    std::string packet;
    for (const uint16_t word : head)
        putLE(packet, word, 2);
    packet += payload;
    putLE(packet, 0x6688, 2);
    return CvexByteArray(packet.data(), static_cast<int>(packet.size()));
}

CvexByteArray commonReply(uint16_t type, uint16_t count, const std::string& payload)
{
    return reply({0x5588, 0, type, 0, 0, count}, payload);
}

CvexByteArray triggeredReply(uint16_t group, uint16_t state, uint16_t count,
                             const std::string& items)
{
    return reply({0x5588, 0, 1018, 0, group, state, 0, count}, items);
}

void BM_ActualReply50Records(benchmark::State& state)
{
    std::string records;
    for (uint32_t id = 1; id <= 50; ++id) {
        putLE(records, id, 4);
        records += static_cast<char>(8); // float
        records += static_cast<char>(1); // valid
        putLE(records, floatBits(200.0f + static_cast<float>(id)), 4);
    }
    const CvexByteArray datagram = commonReply(1001, 50, records);
    CvexPlcActualProtocol protocol;
    for (auto _ : state)
        benchmark::DoNotOptimize(protocol.parseProtocol(datagram));
    state.SetItemsProcessed(state.iterations() * 50);
}
BENCHMARK(BM_ActualReply50Records);

// The source's own receive path around the parser: dispatch, watchdog, counters and events. A
// line status reply is the cheapest datagram, so the path's own share shows most.
void BM_SourceReceivesLineStatus(benchmark::State& state)
{
    std::string statusAndPrivate;
    putLE(statusAndPrivate, 3, 4);
    putLE(statusAndPrivate, 0, 2);
    const CvexByteArray datagram = commonReply(1007, 1, statusAndPrivate);
    CvexPlcCommon source;
    for (auto _ : state)
        source.receiveData(datagram);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SourceReceivesLineStatus);

void BM_TriggeredData180Items(benchmark::State& state)
{
    CvexAbstractDataStorage* storage = CvexDBStorageFactory::instance()->get(2);
    std::string items;
    for (uint32_t id = 1; id <= 180; ++id) {
        storage->setItemProperty(id, "ValueT", CvexVariant(9u));
        putLE(items, id, 4);
        putLE(items, floatBits(0.5f * static_cast<float>(id)), 4);
    }
    const CvexByteArray datagram = triggeredReply(5, 0, 180, items);
    CvexPlcTriggerConfirmProtocol protocol;
    for (auto _ : state)
        benchmark::DoNotOptimize(protocol.parseProtocol(datagram));
    state.SetItemsProcessed(state.iterations() * 180);
}
BENCHMARK(BM_TriggeredData180Items);

void BM_CurvePacket360Samples(benchmark::State& state)
{
    std::string samples;
    for (uint32_t i = 0; i < 360; ++i)
        putLE(samples, floatBits(static_cast<float>(i)), 4);
    const CvexByteArray datagram = triggeredReply(101, 1, 360, samples);
    CvexPlcTriggerConfirmProtocol protocol;
    CvexAbstractControlData* curves = CvexControlDataFactory::instance()->get(2);
    int packets = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(protocol.parseProtocol(datagram));
        if (++packets == 64) { // keep the open curve from growing without end
            state.PauseTiming();
            curves->clear();
            packets = 0;
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(state.iterations() * 360);
}
BENCHMARK(BM_CurvePacket360Samples);

void BM_MoldSetPackOf50(benchmark::State& state)
{
    CvexAbstractDataStorage* storage = CvexDBStorageFactory::instance()->get(2);
    std::string json = R"({"Type": 1, "DataIDList": [)";
    for (unsigned int id = 2001; id <= 2120; ++id) {
        storage->addItem(id, "mold " + std::to_string(id), 8, CvexVariant(1.5));
        json += (id == 2001 ? "" : ",") + std::to_string(id);
    }
    json += "]}";
    rapidjson::Document document;
    document.Parse(json.c_str());
    CvexParseMoldBlock block(document);
    CvexPlcMoldSetProtocol protocol;
    for (auto _ : state) {
        block.setStartPos(50);
        block.setPackSize(50);
        CvexByteArray packet;
        benchmark::DoNotOptimize(protocol.composeProtocol(packet, CvexByteArray(), &block));
    }
    state.SetItemsProcessed(state.iterations() * 50);
}
BENCHMARK(BM_MoldSetPackOf50);

} // namespace
