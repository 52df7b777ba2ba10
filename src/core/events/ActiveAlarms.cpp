#include "events/ActiveAlarms.h"

#include "common/Cp1251.h"

#include <algorithm>

namespace registrator::events {

namespace {

// The kind whose event clears an alarm raised by `raised`; the raising kind itself when nothing does.
EventKind ClearedBy(EventKind raised) {
    switch (raised) {
    case EventKind::OverloadBegan:
        return EventKind::OverloadEnded;
    case EventKind::ConverterStuck:
        return EventKind::ConverterFreed;
    case EventKind::NoConverterAnswers:
        return EventKind::ConvertersAnswer;
    case EventKind::ArchiveFailing:
        return EventKind::ArchiveRecovered;
    default:
        return raised;
    }
}

bool Lasting(EventKind raised) {
    return ClearedBy(raised) != raised;
}

std::string TimeText(common::TDateTime at) {
    return common::FormatTime(at, "HH:mm:ss");
}

} // namespace

bool ActiveAlarms::Follow(const Event& event) {
    const auto same = [&](EventKind kind) {
        return std::find_if(alarms_.begin(), alarms_.end(), [&](const Alarm& alarm) {
            return alarm.Kind == kind && alarm.Channel == event.Channel;
        });
    };
    if (event.Alarm) {
        auto it = same(event.Kind);
        Alarm alarm;
        if (it != alarms_.end()) {
            alarm = *it;
            alarms_.erase(it);
        }
        alarm.Kind = event.Kind;
        alarm.Channel = event.Channel;
        alarm.Since = event.Time;
        alarm.Peak = event.Peak;
        alarm.Active = Lasting(event.Kind);
        alarm.Acknowledged = false;
        alarms_.insert(alarms_.begin(), alarm);
        ++version_;
        return true;
    }
    for (auto it = alarms_.begin(); it != alarms_.end(); ++it) {
        if (it->Channel != event.Channel || !it->Active || ClearedBy(it->Kind) != event.Kind)
            continue;
        if (it->Acknowledged)
            alarms_.erase(it);
        else
            it->Active = false;
        ++version_;
        return true;
    }
    return false;
}

Event ActiveAlarms::AcknowledgeAt(std::size_t index, common::TDateTime now) {
    Alarm& alarm = alarms_[index];
    Event event;
    event.Time = now;
    event.Kind = EventKind::Acknowledged;
    event.Channel = alarm.Channel;
    event.Text = std::string(EventKindText(alarm.Kind)) + " с " + TimeText(alarm.Since);
    alarm.Acknowledged = true;
    if (!alarm.Active)
        alarms_.erase(alarms_.begin() + static_cast<std::ptrdiff_t>(index));
    ++version_;
    return event;
}

std::vector<Event> ActiveAlarms::Acknowledge(EventKind kind, int channel, common::TDateTime now) {
    for (std::size_t i = 0; i < alarms_.size(); ++i)
        if (alarms_[i].Kind == kind && alarms_[i].Channel == channel && !alarms_[i].Acknowledged)
            return {AcknowledgeAt(i, now)};
    return {};
}

std::vector<Event> ActiveAlarms::AcknowledgeAll(common::TDateTime now) {
    std::vector<Event> events;
    // Oldest first, as the operator saw them come.
    for (std::size_t i = alarms_.size(); i-- > 0;)
        if (!alarms_[i].Acknowledged)
            events.push_back(AcknowledgeAt(i, now));
    return events;
}

int ActiveAlarms::ActiveCount() const {
    return static_cast<int>(
        std::count_if(alarms_.begin(), alarms_.end(), [](const Alarm& alarm) { return alarm.Active; }));
}

int ActiveAlarms::UnacknowledgedCount() const {
    return static_cast<int>(std::count_if(alarms_.begin(), alarms_.end(),
                                          [](const Alarm& alarm) { return !alarm.Acknowledged; }));
}

const Alarm* ActiveAlarms::Loudest() const {
    for (const Alarm& alarm : alarms_)
        if (!alarm.Acknowledged)
            return &alarm;
    return nullptr;
}

namespace {

// The settings name without the blanks around it, in Windows-1251, where a character is a byte.
std::string_view TrimmedName(const channels::UstavkiTable& ustavki, int channel) {
    std::string_view name = ustavki[channel].Name.Cp1251();
    while (!name.empty() && name.front() == ' ')
        name.remove_prefix(1);
    while (!name.empty() && name.back() == ' ')
        name.remove_suffix(1);
    return name;
}

bool OfMotor(const Alarm& alarm) {
    return alarm.Channel >= 1 && alarm.Channel <= channels::kChannelCount;
}

// "3 тревоги", "5 тревог", "21 тревога".
std::string AlarmCount(int count) {
    const int tens = count % 100 / 10;
    const int ones = count % 10;
    const char* word =
        tens == 1 || ones == 0 || ones >= 5 ? " тревог" : (ones == 1 ? " тревога" : " тревоги");
    return std::to_string(count) + word;
}

} // namespace

std::string MotorName(const channels::UstavkiTable& ustavki, int channel) {
    const std::string_view name = TrimmedName(ustavki, channel);
    return name.empty() ? "канал " + std::to_string(channel) : common::Cp1251ToUtf8(name);
}

std::string AlarmText(const Alarm& alarm, const channels::UstavkiTable& ustavki) {
    std::string text = EventKindText(alarm.Kind);
    if (OfMotor(alarm))
        text += ": " + MotorName(ustavki, alarm.Channel) + " (" +
                std::string(channels::SectionName(channels::SectionOfChannel(alarm.Channel))) + ", канал " +
                std::to_string(alarm.Channel) + ")";
    return text + ", с " + TimeText(alarm.Since);
}

std::string AlarmLineText(const Alarm& alarm, int more, const channels::UstavkiTable& ustavki) {
    std::string text = "с " + TimeText(alarm.Since);
    if (more > 0)
        text += " · ещё " + AlarmCount(more);
    text += " · ";
    text += EventKindText(alarm.Kind);
    if (!OfMotor(alarm))
        return text;
    // The number first, as the journal window lists the motors: a cut name still tells which.
    const std::string_view name = TrimmedName(ustavki, alarm.Channel);
    if (name.empty())
        return text + ": канал " + std::to_string(alarm.Channel);
    text += ": " + std::to_string(alarm.Channel) + " — ";
    if (name.size() > kShortNameLength)
        return text + common::Cp1251ToUtf8(name.substr(0, kShortNameLength - 1)) + "…";
    return text + common::Cp1251ToUtf8(name);
}

} // namespace registrator::events
