// SPDX-License-Identifier: MIT
// Shared set-up of the packet protocol tests: clean storage, logs and packet number, a factory
// holding one object per packet type, and packets written as hex text.
#ifndef PLCPROTOCOLTEST_H
#define PLCPROTOCOLTEST_H

#include "vexabstractcontroldata.h"
#include "vexabstractdatastorage.h"
#include "vexbytearray.h"
#include "vexcontroldatafactory.h"
#include "vexdbstoragefactory.h"
#include "vexparseplccommon.h"
#include "vexplcprotocol.h"
#include "vexplcprotocolfactory.h"
#include "vextestsupport.h"

#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <cstdio>
#include <string>

namespace plctest {

inline Orrery::CvexByteArray wire(const std::string& hexText)
{
    const std::string raw = vextest::bytes(hexText);
    return Orrery::CvexByteArray(raw.data(), static_cast<int>(raw.size()));
}

// A 16-bit field as the hex text of its two bytes, low byte first.
inline std::string u16(int value)
{
    char text[8];
    std::snprintf(text, sizeof text, "%02X %02X ", value & 0xFF, (value >> 8) & 0xFF);
    return text;
}

inline std::string hexOf(const Orrery::CvexByteArray& bytes)
{
    return vextest::hex(bytes.constData(), bytes.size());
}

inline Orrery::CvexAbstractDataStorage* storage()
{
    return Orrery::CvexDBStorageFactory::instance()->get(2);
}

inline Orrery::CvexAbstractControlData* controlData(int type)
{
    return Orrery::CvexControlDataFactory::instance()->get(type);
}

// A configuration record built from its JSON section text.
template <typename Record> Record fromJson(const std::string& text)
{
    rapidjson::Document document;
    document.Parse(text.c_str());
    return Record(document);
}

class PlcProtocolTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Orrery::CvexAbstractPlcProtocol::packNumberReset();
        storage()->clear();
        for (int type = 0; type < 3; ++type)
            controlData(type)->clear();
    }

    Orrery::CvexPlcProtocolFactory factory;
};

} // namespace plctest

#endif // PLCPROTOCOLTEST_H
