#include "events/MotorEvents.h"

#include <algorithm>

namespace registrator::events {

namespace {

constexpr double kFullScale = 1023;
constexpr double kSecondsPerDay = 86400;

double SecondsBetween(common::TDateTime from, common::TDateTime to) {
    return (to - from) * kSecondsPerDay;
}

Event Make(common::TDateTime time, EventKind kind, int channel, double peak, double seconds, bool alarm) {
    Event event;
    event.Time = time;
    event.Kind = kind;
    event.Channel = channel;
    event.Peak = peak;
    event.Seconds = seconds;
    event.Alarm = alarm;
    return event;
}

// Within a microsecond: times a day's fraction apart are not exact.
bool Lasted(common::TDateTime from, common::TDateTime to, double seconds) {
    return SecondsBetween(from, to) >= seconds - 1e-6;
}

} // namespace

void MotorEventDetector::Observe(common::TDateTime now, const channels::ChannelData& data,
                                 std::vector<Event>& out) {
    // Every converter at full scale at once is their supply or the cable: one alarm, not 72.
    bool all = true;
    for (int n = 1; n <= channels::kChannelCount && all; ++n)
        all = data.RawCount(n) >= kFullScale;
    if (all) {
        if (allFullScaleSince_ == 0)
            allFullScaleSince_ = now;
        if (!noneAnswer_ && Lasted(allFullScaleSince_, now, kStuckSeconds)) {
            for (int n = 1; n <= channels::kChannelCount; ++n)
                ForgetMotor(now, n, out);
            noneAnswer_ = true;
            out.push_back(Make(now, EventKind::NoConverterAnswers, 0, 0, 0, true));
        }
    } else {
        allFullScaleSince_ = 0;
        if (noneAnswer_) {
            noneAnswer_ = false;
            out.push_back(Make(now, EventKind::ConvertersAnswer, 0, 0, 0, false));
        }
    }
    for (int n = 1; n <= channels::kChannelCount; ++n) {
        Motor& motor = motors_[n];
        // A converter stuck at full scale reads as the largest current: no motor events from it.
        if (!noneAnswer_ && !all && data.RawCount(n) >= kFullScale) {
            if (motor.FullScaleSince == 0)
                motor.FullScaleSince = now;
            if (!motor.Stuck && Lasted(motor.FullScaleSince, now, kStuckSeconds)) {
                ForgetMotor(now, n, out);
                motor.Stuck = true;
                out.push_back(Make(now, EventKind::ConverterStuck, n, 0, 0, true));
            }
        } else {
            motor.FullScaleSince = 0;
            if (motor.Stuck) {
                motor.Stuck = false;
                out.push_back(Make(now, EventKind::ConverterFreed, n, 0, 0, false));
            }
        }
        if (!motor.Stuck && !all)
            ObserveMotor(now, n, data.Current(n).Value, data.Ustavki[n], out);
    }
}

void MotorEventDetector::ForgetMotor(common::TDateTime now, int channel, std::vector<Event>& out) {
    Motor& m = motors_[channel];
    // What the full scale began is no start: it goes unsaid. An overload from before it ends here, so
    // its alarm does not stand for as long as the fault.
    if (m.Overloaded)
        out.push_back(Make(now, EventKind::OverloadEnded, channel, m.OverloadPeak,
                           SecondsBetween(m.OverloadSince, now), false));
    if (m.AboveNominal)
        out.push_back(
            Make(now, EventKind::AboveNominalEnded, channel, 0, SecondsBetween(m.AboveSince, now), false));
    // Once it answers again, the first cycle learns where the motor stands, as at start-up.
    const common::TDateTime fullScaleSince = m.FullScaleSince;
    m = Motor{};
    m.FullScaleSince = fullScaleSince;
}

void MotorEventDetector::ObserveMotor(common::TDateTime now, int channel, double value,
                                      const channels::TUstavka& settings, std::vector<Event>& out) {
    Motor& m = motors_[channel];
    monitor::PanelState state = monitor::ClassifyReading(value, settings);
    // On a threshold exactly the reading keeps the state it had, as the panel keeps its colour.
    if (state == monitor::PanelState::Unchanged)
        state = m.State;
    const bool wasOff = !m.Known || m.State == monitor::PanelState::Off;
    const bool off = state == monitor::PanelState::Off;
    // The first cycle only learns where each motor stands; a motor already running has no start.
    if (!m.Known) {
        m.Known = true;
        m.State = state;
        return;
    }

    if (off) {
        if (m.Overloaded)
            out.push_back(Make(now, EventKind::OverloadEnded, channel, m.OverloadPeak,
                               SecondsBetween(m.OverloadSince, now), false));
        if (m.AboveNominal)
            out.push_back(Make(now, EventKind::AboveNominalEnded, channel, 0,
                               SecondsBetween(m.AboveSince, now), false));
        if (m.Starting)
            out.push_back(Make(now, EventKind::StartEnded, channel, m.StartPeak,
                               SecondsBetween(m.StartedAt, now), false));
        if (!wasOff)
            out.push_back(Make(now, EventKind::Stopped, channel, 0, 0, false));
        m.Overloaded = m.AboveNominal = m.Starting = false;
        m.State = state;
        return;
    }

    if (wasOff) {
        m.Starting = true;
        m.StartedAt = now;
        m.StartPeak = value;
        out.push_back(Make(now, EventKind::StartBegan, channel, 0, 0, false));
    }
    if (m.Starting) {
        m.StartPeak = std::max(m.StartPeak, value);
        const double lasted = SecondsBetween(m.StartedAt, now);
        if (value < settings.T_Nom) {
            m.Starting = false;
            out.push_back(Make(now, EventKind::StartEnded, channel, m.StartPeak, lasted, false));
        } else if (Lasted(m.StartedAt, now, startWindow_[channel])) {
            m.Starting = false;
            out.push_back(Make(now, EventKind::LongStart, channel, m.StartPeak, lasted, true));
        }
    }
    if (!m.Starting) {
        const bool overloaded = state == monitor::PanelState::Overloaded;
        const bool above = overloaded || state == monitor::PanelState::AboveNominal;
        if (above && !m.AboveNominal) {
            m.AboveNominal = true;
            m.AboveSince = now;
            out.push_back(Make(now, EventKind::AboveNominalBegan, channel, 0, 0, false));
        }
        if (overloaded && !m.Overloaded) {
            m.Overloaded = true;
            m.OverloadSince = now;
            m.OverloadPeak = value;
            out.push_back(Make(now, EventKind::OverloadBegan, channel, 0, 0, true));
        }
        if (m.Overloaded)
            m.OverloadPeak = std::max(m.OverloadPeak, value);
        if (!overloaded && m.Overloaded) {
            m.Overloaded = false;
            out.push_back(Make(now, EventKind::OverloadEnded, channel, m.OverloadPeak,
                               SecondsBetween(m.OverloadSince, now), false));
        }
        if (!above && m.AboveNominal) {
            m.AboveNominal = false;
            out.push_back(Make(now, EventKind::AboveNominalEnded, channel, 0,
                               SecondsBetween(m.AboveSince, now), false));
        }
    }
    m.State = state;
}

const char* EventKindText(EventKind kind) {
    switch (kind) {
    case EventKind::StartBegan:
        return "пуск";
    case EventKind::StartEnded:
        return "пуск завершён";
    case EventKind::LongStart:
        return "затянутый пуск";
    case EventKind::OverloadBegan:
        return "перегрузка";
    case EventKind::OverloadEnded:
        return "перегрузка снята";
    case EventKind::AboveNominalBegan:
        return "выше номинала";
    case EventKind::AboveNominalEnded:
        return "ниже номинала";
    case EventKind::Stopped:
        return "останов";
    case EventKind::ConverterStuck:
        return "неисправность преобразователя";
    case EventKind::ConverterFreed:
        return "преобразователь исправен";
    case EventKind::NoConverterAnswers:
        return "преобразователи не отвечают";
    case EventKind::ConvertersAnswer:
        return "преобразователи отвечают";
    case EventKind::ProgramStarted:
        return "запуск программы";
    case EventKind::ProgramEnded:
        return "завершение программы";
    case EventKind::PortNotReady:
        return "порт не готов";
    case EventKind::AveragingReset:
        return "сброс усреднения";
    case EventKind::ArchiveFailing:
        return "сбой записи архива";
    case EventKind::ArchiveRecovered:
        return "запись архива восстановлена";
    case EventKind::DayChanged:
        return "новый день";
    case EventKind::CalibrationChanged:
        return "изменение калибровки";
    case EventKind::Acknowledged:
        return "квитирование";
    case EventKind::ScanTimingChanged:
        return "изменение опроса";
    }
    return "";
}

} // namespace registrator::events
