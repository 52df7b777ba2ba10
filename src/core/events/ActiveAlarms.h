#pragma once

#include "channels/ChannelData.h"
#include "events/MotorEvents.h"

#include <cstdint>
#include <string>
#include <vector>

namespace registrator::events {

struct Alarm {
    EventKind Kind = EventKind::OverloadBegan; // the event that raised it
    int Channel = 0;                           // 0: the whole plant
    common::TDateTime Since = 0;
    double Peak = 0;    // a long start's peak
    bool Active = true; // its condition still holds
    bool Acknowledged = false;
};

// The alarms the operator has still to see to: one stays until its condition has cleared and it has
// been acknowledged, in either order; a long start has no condition that lasts and waits only for the
// acknowledgement. One entry per kind and motor: an overload that comes back before it was
// acknowledged takes up its old entry again. Nothing from the network acknowledges.
class ActiveAlarms {
public:
    // Raises, clears or passes over the event; true when the list changed.
    bool Follow(const Event& event);
    // The journal's lines of the acknowledgement, one per alarm; none when there was nothing to
    // acknowledge.
    std::vector<Event> Acknowledge(EventKind kind, int channel, common::TDateTime now);
    std::vector<Event> AcknowledgeAll(common::TDateTime now);

    // Newest first.
    const std::vector<Alarm>& List() const { return alarms_; }
    int ActiveCount() const;
    int UnacknowledgedCount() const;
    // The newest alarm not yet acknowledged, for the alarm line and the sound; null when none.
    const Alarm* Loudest() const;
    // Rises with every change, for views that redraw only then.
    std::uint64_t Version() const { return version_; }

private:
    Event AcknowledgeAt(std::size_t index, common::TDateTime now);

    std::vector<Alarm> alarms_;
    std::uint64_t version_ = 0;
};

// A motor as everything but the mimic panel names it: its settings name, blanks trimmed, so that a
// renamed motor is renamed everywhere at once; "канал N" for one without a name.
std::string MotorName(const channels::UstavkiTable& ustavki, int channel);

// What the alarm is, for the operator:
// "перегрузка: Конвейер Т1 (Массоподготовка, канал 5), с 10:15:02".
std::string AlarmText(const Alarm& alarm, const channels::UstavkiTable& ustavki);

// The alarm line's form, for a line no wider than the main window: since when and how many more
// first, then the motor's number and its name cut to kShortNameLength:
// "с 10:15:02 · ещё 3 тревоги · перегрузка: 5 — Конвейер Т1".
constexpr std::size_t kShortNameLength = 20;
std::string AlarmLineText(const Alarm& alarm, int more, const channels::UstavkiTable& ustavki);

} // namespace registrator::events
