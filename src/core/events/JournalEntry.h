#pragma once

#include "common/DateTime.h"
#include "events/MotorEvents.h"

#include <optional>
#include <string>
#include <string_view>

namespace registrator::events {

// One line of the day's event journal, read back once for everything that shows or counts it: the
// window, the web view, MQTT, the archive tool and its summary.
struct JournalEntry {
    std::optional<common::TDateTime> Time{}; // nothing when the line's time names no time
    std::optional<EventKind> Kind{};         // nothing for a kind this version does not know...
    std::string OtherKind{};                 // ...whose text is kept, so that it still passes through
    std::optional<int> Channel{};            // 1..72; nothing for the whole plant
    std::string Section{};
    std::string Motor{};
    std::optional<double> Peak{}; // amperes
    std::optional<double> Seconds{};
    bool Alarm = false;
    std::string Details{};

    // The kind's text as the journal has it, known or not.
    std::string KindText() const;

    friend bool operator==(const JournalEntry&, const JournalEntry&) = default;
};

// The entry of one journal line, without its line end. Fields the line lacks stay empty, and a ';'
// that got into the details (the writer keeps them out) stays in them.
JournalEntry ReadJournalLine(std::string_view line);

// The journal's own forms: "06.12.2026 14:03:07", "412,5" (one decimal, with a comma), "да".
std::string JournalTimeText(common::TDateTime time);
std::string JournalFigureText(double value);
constexpr const char* kJournalAlarm = "да";

} // namespace registrator::events
