// SPDX-License-Identifier: MIT
#include "vexplcprotocol.h"

#include "plcprotocoltest.h"
#include "vexparseplccommon.h"
#include "vexplcactionprotocol.h"
#include "vexplcactualprotocol.h"
#include "vexplcalarmprotocol.h"
#include "vexplccantransmitprotocol.h"
#include "vexplccurveprotocol.h"
#include "vexplclinestatusprotocol.h"
#include "vexplcmoldsetprotocol.h"
#include "vexplcmoldsetstatusprotocol.h"
#include "vexplcreadparamprotocol.h"
#include "vexplctriggerconfirmprotocol.h"
#include "vexplctriggerprotocol.h"
#include "vexplcwriteparamprotocol.h"

#include <functional>
#include <memory>
#include <ostream>

using namespace Orrery;
using plctest::hexOf;
using plctest::wire;

namespace {

using PacketNumberTest = plctest::PlcProtocolTest;

TEST_F(PacketNumberTest, SubtractAndResetReturnThePreviousValue)
{
    EXPECT_EQ(CvexAbstractPlcProtocol::packNumberFetchAndSub(), 0);
    EXPECT_EQ(CvexAbstractPlcProtocol::packNumberFetchAndAdd(), 0xFFFF);
    EXPECT_EQ(CvexAbstractPlcProtocol::packNumberFetchAndAdd(), 0);
    EXPECT_EQ(CvexAbstractPlcProtocol::packNumberReset(), 1);
    EXPECT_EQ(CvexAbstractPlcProtocol::packNumberFetchAndAdd(), 0);
}

TEST_F(PacketNumberTest, ReadParameterRequestAtCounterFive)
{
    for (int i = 0; i < 5; ++i)
        CvexAbstractPlcProtocol::packNumberFetchAndAdd();
    CvexPlcReadParamProtocol protocol;
    CvexByteArray out;
    EXPECT_EQ(protocol.composeProtocol(out, wire("2A 00 00 00"), nullptr), 18);
    EXPECT_EQ(hexOf(out), "99 88 12 00 02 00 05 00 00 00 01 00 2A 00 00 00 88 66");
    EXPECT_EQ(CvexAbstractPlcProtocol::packNumberFetchAndAdd(), 6);
}

TEST_F(PacketNumberTest, NumberWrapsFrom65535ToZeroAcrossTypes)
{
    CvexAbstractPlcProtocol::packNumberFetchAndSub();
    CvexPlcActionProtocol action;
    CvexPlcReadParamProtocol read;
    CvexByteArray first;
    CvexByteArray second;
    const vextest::StdoutCapture capture;
    action.composeProtocol(first, wire("05 00 00 00"), nullptr);
    read.composeProtocol(second, wire("05 00 00 00"), nullptr);
    EXPECT_EQ(hexOf(first.mid(6, 2)), "FF FF");
    EXPECT_EQ(hexOf(second.mid(6, 2)), "00 00");
}

// One refused request per packet type: it must give the type's failure value, leave `out` as
// it was and take no packet number.
struct Refusal {
    const char* name;
    std::function<int(CvexByteArray&)> compose;
    int expected;
    const char* diagnostic;
};

void PrintTo(const Refusal& row, std::ostream* out)
{
    *out << row.name;
}

class RefusalTest : public plctest::PlcProtocolTest,
                    public ::testing::WithParamInterface<Refusal> {};

TEST_P(RefusalTest, LeavesOutputAndPacketNumberAlone)
{
    CvexByteArray out("untouched");
    const vextest::StdoutCapture capture;
    EXPECT_EQ(GetParam().compose(out), GetParam().expected);
    EXPECT_EQ(out, CvexByteArray("untouched"));
    EXPECT_EQ(CvexAbstractPlcProtocol::packNumberFetchAndAdd(), 0);
    const std::string line = GetParam().diagnostic;
    EXPECT_EQ(capture.text(), line.empty() ? "" : line + "\n");
}

template <typename Protocol>
std::function<int(CvexByteArray&)> composing(CvexByteArray in, void* arg = nullptr)
{
    return [in, arg](CvexByteArray& out) {
        auto protocol = std::make_unique<Protocol>();
        return protocol->composeProtocol(out, in, arg);
    };
}

CvexParseLineStatus invalidLineStatus;
CvexParseActual actualWithoutIDs = plctest::fromJson<CvexParseActual>(R"({"ID": 1})");
CvexParseTrigger invalidTrigger;
CvexParseMoldBlock emptyBlock = plctest::fromJson<CvexParseMoldBlock>(R"({"Type": 1})");

INSTANTIATE_TEST_SUITE_P(
    EveryType, RefusalTest,
    ::testing::Values(
        Refusal{"ReadEmpty", composing<CvexPlcReadParamProtocol>({}), -1, ""},
        Refusal{"WriteEmpty", composing<CvexPlcWriteParamProtocol>({}), -1, ""},
        Refusal{"ActionEmpty", composing<CvexPlcActionProtocol>({}), -1, ""},
        Refusal{"AlarmEmpty", composing<CvexPlcAlarmProtocol>({}), -1, ""},
        Refusal{"CurveNullArg", composing<CvexPlcCurveProtocol>(wire("01")), -1, ""},
        Refusal{"LineStatusNullArg", composing<CvexPlcLineStatusProtocol>({}), 0, ""},
        Refusal{"LineStatusInvalid", composing<CvexPlcLineStatusProtocol>({}, &invalidLineStatus),
                0, ""},
        Refusal{"ActualNullArg", composing<CvexPlcActualProtocol>({}), 0, ""},
        Refusal{"ActualWithoutIDs", composing<CvexPlcActualProtocol>({}, &actualWithoutIDs), 0, ""},
        Refusal{"MoldSetNullArg", composing<CvexPlcMoldSetProtocol>({}), -1, ""},
        Refusal{"MoldSetEmptyBlock", composing<CvexPlcMoldSetProtocol>({}, &emptyBlock), -1, ""},
        Refusal{"MoldSetStatusEmpty", composing<CvexPlcMoldSetStatusProtocol>({}), -1, ""},
        Refusal{"MoldSetStatusNotANumber", composing<CvexPlcMoldSetStatusProtocol>("12a"), -1,
                "CvexPlcMoldSetStatusProtocol::composeProtocol mold count convert error"},
        Refusal{"TriggerNullArg", composing<CvexPlcTriggerProtocol>({}), 0, ""},
        Refusal{"TriggerInvalid", composing<CvexPlcTriggerProtocol>({}, &invalidTrigger), 0, ""},
        Refusal{"ConfirmEmpty", composing<CvexPlcTriggerConfirmProtocol>({}), 0, ""},
        Refusal{"ConfirmNegative", composing<CvexPlcTriggerConfirmProtocol>("-5"), 0,
                "CvexPlcTriggerConfirmProtocol::composeProtocol: Group ID Illegal"},
        Refusal{"CanTransmit", composing<CvexPlcCANTransmitProtocol>("x"), -1, ""}),
    [](const ::testing::TestParamInfo<Refusal>& info) { return std::string(info.param.name); });

// Replies whose length field cannot be trusted, for every parser that takes its payload from it.
class PayloadReplyTest : public plctest::PlcProtocolTest,
                         public ::testing::WithParamInterface<const char*> {};

TEST_P(PayloadReplyTest, MalformedLengthFieldsAreRejected)
{
    CvexPlcActualProtocol actual;
    CvexPlcReadParamProtocol read;
    CvexPlcWriteParamProtocol write;
    const CvexByteArray wellFormed =
        wire("88 55 18 00 E9 03 00 00 00 00 01 00 07 00 00 00 06 01 01 00 00 00 88 66");
    for (CvexAbstractProtocol* protocol :
         std::initializer_list<CvexAbstractProtocol*>{&actual, &read, &write}) {
        EXPECT_EQ(protocol->parseProtocol(wire(GetParam())), -1) << GetParam();
        EXPECT_TRUE(plctest::storage()->value(7).isNull());
    }
    EXPECT_EQ(actual.parseProtocol(wellFormed), 1);
    EXPECT_EQ(plctest::storage()->value(7), CvexVariant(1u));
}

INSTANTIATE_TEST_SUITE_P(Framing, PayloadReplyTest,
                         ::testing::Values("88 55 0E 00 E9 03 00 00 00 00 00 00 88",       // 13
                                           "88 55 FF 00 E9 03 00 00 00 00 00 00 88 66",    // long
                                           "88 55 0D 00 E9 03 00 00 00 00 00 00 88 66",    // 13
                                           "88 55 00 00 E9 03 00 00 00 00 00 00 88 66 00", // 0
                                           "88 55 19 00 E9 03 00 00 00 00 01 00 07 00 00 "
                                           "00 06 01 01 00 00 00 88 66")); // one past the end

} // namespace
