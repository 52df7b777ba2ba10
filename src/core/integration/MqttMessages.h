#pragma once

#include "archive/ArchiveRecords.h"
#include "channels/ChannelData.h"
#include "common/DateTime.h"
#include "monitor/PanelState.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace registrator::integration {

// A readings record's place in the archive: its day file and its position there (0 for the first
// record). What a consumer drops duplicates by.
struct RecordKey {
    common::TDateTime Day = 0;
    std::uint64_t Index = 0;
    friend bool operator==(const RecordKey&, const RecordKey&) = default;
};

// The topics under "registrator/<station>/".
std::string MqttTopic(std::string_view station, std::string_view leaf);

// "2026-12-09T14:03:07.250+03:00": the record's day and time of day in the computer's local time,
// with the offset that was in force then.
std::string IsoLocalTime(common::TDateTime day, common::TDateTime timeOfDay);

// One readings record: station, day, index, time, the 72 currents, and whether it is sent late.
std::string RecordJson(std::string_view station, const RecordKey& key, const archive::TArhivRec& record,
                       bool historical);

// One line of the event journal, `key` its day and its index among the day's event lines: the time
// as records give it, the kind and texts as written, the figures as numbers, null where it has none.
std::string EventJson(std::string_view station, const RecordKey& key, std::string_view line);

// One motor as the mimic shows it: name, current (whole amperes, as its label), state and thresholds.
std::string MotorJson(int channel, const channels::TUstavka& settings, double current,
                      monitor::PanelState state);

// What a consumer is told when records it will never get are skipped: from which record, how many
// if known, and why.
// `placeName` is "fromIndex" for records, "fromLine" for journal lines.
std::string GapJson(std::string_view station, const RecordKey& from, std::uint64_t missing,
                    std::string_view reason, const char* placeName = "fromIndex");

// A JSON string literal of UTF-8 text, quotes included.
std::string JsonString(std::string_view utf8);

} // namespace registrator::integration
