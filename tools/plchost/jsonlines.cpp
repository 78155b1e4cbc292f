// SPDX-License-Identifier: MIT
#include "jsonlines.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cmath>
#include <functional>

namespace plchost {

namespace {

using Writer = rapidjson::Writer<rapidjson::StringBuffer>;

std::string object(const std::string& time, const std::function<void(Writer&)>& fields)
{
    rapidjson::StringBuffer buffer;
    Writer writer(buffer);
    writer.StartObject();
    writer.Key("time");
    writer.String(time.c_str(), static_cast<rapidjson::SizeType>(time.size()));
    fields(writer);
    writer.EndObject();
    return buffer.GetString();
}

void text(Writer& writer, const char* key, const std::string& value)
{
    writer.Key(key);
    writer.String(value.c_str(), static_cast<rapidjson::SizeType>(value.size()));
}

} // namespace

const char* JsonLines::kindName(Orrery::CvexPlcEvent::Kind kind)
{
    static const char* const kNames[] = {
        "LineStatusChanged",   "MoldSetPackAcknowledged", "MoldSetConfirmed", "MoldSetRefused",
        "TriggerAcknowledged", "TriggerRefused",          "AlarmReceived",    "TriggeredDataStored",
        "CurveSaved",          "ParameterReplyStored",    "ActionAnswered",   "Retransmitted",
        "DuplicateIgnored",    "SendQueueOverflow",       "BindFailed",       "VersionMismatch",
        "EventsDropped"};
    const auto index = static_cast<std::size_t>(kind);
    return index < sizeof kNames / sizeof kNames[0] ? kNames[index] : "Unknown";
}

std::string JsonLines::event(const std::string& time, const Orrery::CvexPlcEvent& event)
{
    return object(time, [&](Writer& writer) {
        text(writer, "event", kindName(event.kind));
        writer.Key("code");
        writer.Int(event.code);
        writer.Key("value");
        writer.Int64(event.value);
        text(writer, "text", event.text);
    });
}

std::string JsonLines::value(const std::string& time, const ValueRow& row)
{
    return object(time, [&](Writer& writer) {
        writer.Key("id");
        writer.Uint(row.id);
        text(writer, "name", row.name);
        writer.Key("value");
        switch (row.value.type()) {
        case Orrery::CvexVariant::Int:
            writer.Int(row.value.toInt());
            break;
        case Orrery::CvexVariant::UInt:
            writer.Uint(row.value.toUInt());
            break;
        case Orrery::CvexVariant::Double:
            if (std::isfinite(row.value.toDouble())) {
                writer.Double(row.value.toDouble());
                break;
            }
            writer.Null(); // JSON has no NaN or infinity
            break;
        case Orrery::CvexVariant::Null:
            writer.Null();
            break;
        }
    });
}

std::string JsonLines::curve(const std::string& time, const SavedCurve& curve)
{
    return object(time, [&](Writer& writer) {
        writer.Key("curve");
        writer.Uint(curve.curve);
        writer.Key("records");
        writer.Uint64(curve.records);
        text(writer, "csv", curve.files.csvPath);
        text(writer, "svg", curve.files.svgPath);
    });
}

std::string JsonLines::message(const std::string& time, const std::string& message)
{
    return object(time, [&](Writer& writer) { text(writer, "message", message); });
}

} // namespace plchost
