#include "integration/MqttMessages.h"

#include "events/JournalEntry.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <ctime>
#include <optional>

namespace registrator::integration {

namespace {

// The shortest text that reads back the same; JSON has no NaN or infinity.
void AppendNumber(std::string& out, double value) {
    if (!std::isfinite(value)) {
        out += "null";
        return;
    }
    char text[64];
    out.append(text, std::to_chars(text, text + sizeof text, value).ptr);
}

void AppendInteger(std::string& out, long long value) {
    char text[24];
    out.append(text, std::to_chars(text, text + sizeof text, value).ptr);
}

void AppendTwo(std::string& out, int value) {
    out += static_cast<char>('0' + value / 10 % 10);
    out += static_cast<char>('0' + value % 10);
}

// Days from 1970-01-01 to a civil date (proleptic Gregorian), so that a broken-down local time can
// be compared with the instant it names.
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

const char* StateName(monitor::PanelState state) {
    switch (state) {
    case monitor::PanelState::Overloaded:
        return "above critical";
    case monitor::PanelState::AboveNominal:
        return "above nominal";
    case monitor::PanelState::Running:
        return "running";
    case monitor::PanelState::Off:
    case monitor::PanelState::Unchanged:
        break;
    }
    return "off";
}

} // namespace

namespace {

// `{"station":…,"day":"DD.MM.YYYY","<indexName>":N`, the start every message about records has.
void OpenWithPlace(std::string& out, std::string_view station, const RecordKey& key, const char* indexName) {
    out += "{\"station\":";
    out += JsonString(station);
    out += ",\"day\":\"";
    out += common::ArchiveDateText(key.Day);
    out += "\",\"";
    out += indexName;
    out += "\":";
    AppendInteger(out, static_cast<long long>(key.Index));
}

} // namespace

std::string MqttTopic(std::string_view station, std::string_view leaf) {
    std::string topic = "registrator/";
    topic += station;
    topic += '/';
    topic += leaf;
    return topic;
}

std::string IsoLocalTime(common::TDateTime day, common::TDateTime timeOfDay) {
    const common::CalendarDate date = common::DecodeDate(day);
    long long ms = std::llround(timeOfDay * common::kMsPerDay);
    ms = std::clamp<long long>(ms, 0, 86'399'999);
    const int hour = static_cast<int>(ms / 3'600'000), minute = static_cast<int>(ms / 60'000 % 60),
              second = static_cast<int>(ms / 1000 % 60), milli = static_cast<int>(ms % 1000);
    // The offset in force at that local time, from the system's zone rules.
    std::tm local{};
    local.tm_year = date.Year - 1900;
    local.tm_mon = date.Month - 1;
    local.tm_mday = date.Day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    const std::time_t instant = std::mktime(&local);
    long long offsetMinutes = 0;
    if (instant != static_cast<std::time_t>(-1)) {
        const long long asUtc = DaysFromCivil(local.tm_year + 1900LL, static_cast<unsigned>(local.tm_mon + 1),
                                              static_cast<unsigned>(local.tm_mday)) *
                                    86400 +
                                local.tm_hour * 3600LL + local.tm_min * 60LL + local.tm_sec;
        offsetMinutes = (asUtc - static_cast<long long>(instant)) / 60;
    }
    std::string out;
    AppendInteger(out, date.Year);
    out += '-';
    AppendTwo(out, date.Month);
    out += '-';
    AppendTwo(out, date.Day);
    out += 'T';
    AppendTwo(out, hour);
    out += ':';
    AppendTwo(out, minute);
    out += ':';
    AppendTwo(out, second);
    out += '.';
    out += static_cast<char>('0' + milli / 100);
    AppendTwo(out, milli % 100);
    out += offsetMinutes < 0 ? '-' : '+';
    const long long absolute = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
    AppendTwo(out, static_cast<int>(absolute / 60));
    out += ':';
    AppendTwo(out, static_cast<int>(absolute % 60));
    return out;
}

std::string JsonString(std::string_view utf8) {
    std::string out = "\"";
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            static const char* hex = "0123456789abcdef";
            out += "\\u00";
            out += hex[byte >> 4];
            out += hex[byte & 15];
        } else {
            out += c;
        }
    }
    out += '"';
    return out;
}

std::string RecordJson(std::string_view station, const RecordKey& key, const archive::TArhivRec& record,
                       bool historical) {
    std::string out;
    out.reserve(72 * 8 + 160);
    OpenWithPlace(out, station, key, "index");
    out += ",\"time\":\"";
    out += IsoLocalTime(key.Day, record.Time);
    out += "\",\"current\":[";
    for (int i = 0; i < channels::kChannelCount; ++i) {
        if (i)
            out += ',';
        AppendNumber(out, record.Tok[i]);
    }
    out += "],\"historical\":";
    out += historical ? "true" : "false";
    out += '}';
    return out;
}

std::string EventJson(std::string_view station, const RecordKey& key, std::string_view line) {
    const events::JournalEntry entry = events::ReadJournalLine(line);
    std::string out;
    OpenWithPlace(out, station, key, "line");
    out += ",\"time\":";
    out += entry.Time ? '"' + IsoLocalTime(common::DatePart(*entry.Time), common::TimePart(*entry.Time)) + '"'
                      : "null";
    out += ",\"kind\":";
    out += JsonString(entry.KindText());
    const auto appendFigure = [&](const char* name, std::optional<double> value) {
        out += ",\"";
        out += name;
        out += "\":";
        AppendNumber(out, value.value_or(NAN));
    };
    appendFigure("channel", entry.Channel);
    const auto appendText = [&](const char* name, const std::string& text) {
        out += ",\"";
        out += name;
        out += "\":";
        out += text.empty() ? "null" : JsonString(text);
    };
    appendText("section", entry.Section);
    appendText("motor", entry.Motor);
    appendFigure("peak", entry.Peak);
    appendFigure("seconds", entry.Seconds);
    out += ",\"alarm\":";
    out += entry.Alarm ? "true" : "false";
    out += ",\"text\":";
    out += JsonString(entry.Details);
    out += '}';
    return out;
}

std::string MotorJson(int channel, const channels::TUstavka& settings, double current,
                      monitor::PanelState state) {
    std::string out = "{\"channel\":";
    AppendInteger(out, channel);
    out += ",\"name\":";
    out += JsonString(settings.Name.Utf8());
    out += ",\"current\":";
    AppendNumber(out, current);
    out += ",\"state\":\"";
    out += StateName(state);
    out += "\",\"nominal\":";
    AppendNumber(out, settings.T_Nom);
    out += ",\"critical\":";
    AppendNumber(out, settings.T_Max);
    out += '}';
    return out;
}

std::string GapJson(std::string_view station, const RecordKey& from, std::uint64_t missing,
                    std::string_view reason, const char* placeName) {
    std::string out;
    OpenWithPlace(out, station, from, placeName);
    out += ",\"missing\":";
    if (missing == 0)
        out += "null";
    else
        AppendInteger(out, static_cast<long long>(missing));
    out += ",\"reason\":";
    out += JsonString(reason);
    out += '}';
    return out;
}

} // namespace registrator::integration
