#include "events/ActiveAlarms.h"

#include "monitor/MotorCaptions.h"

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

std::string AlarmText(const Alarm& alarm) {
    std::string text = EventKindText(alarm.Kind);
    if (alarm.Channel >= 1 && alarm.Channel <= channels::kChannelCount) {
        // As the panel the operator looks at names it, then where it is.
        const monitor::MotorCaption& caption = monitor::MotorCaptionOf(alarm.Channel);
        std::string shown;
        for (int line = 0; line < caption.LineCount; ++line)
            shown += (line ? " " : "") + std::string(caption.Lines[static_cast<std::size_t>(line)]);
        text += ": " + shown + " (" +
                std::string(channels::SectionName(channels::SectionOfChannel(alarm.Channel))) + ", канал " +
                std::to_string(alarm.Channel) + ")";
    }
    return text + ", с " + TimeText(alarm.Since);
}

} // namespace registrator::events
