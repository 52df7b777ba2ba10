#include "events/MotorEvents.h"

#include <algorithm>
#include <array>
#include <cmath>

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

// The panel's states from the lowest current up; the enum lists them from the highest down.
constexpr int Rank(monitor::PanelState state) {
    return static_cast<int>(monitor::PanelState::Off) - static_cast<int>(state);
}
constexpr std::array kByRank = {monitor::PanelState::Off, monitor::PanelState::Running,
                                monitor::PanelState::AboveNominal, monitor::PanelState::Overloaded};
static_assert(Rank(monitor::PanelState::Overloaded) == 3 && Rank(monitor::PanelState::Running) == 1);

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
        if (!all && data.RawCount(n) >= kFullScale) {
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
        // A cycle that does not show the motor leaves nothing to judge the one before it by; that
        // one may have mixed the fault's scans with the motor's.
        if (motor.Stuck || all)
            motor.Pending = false;
        else
            ObserveMotor(now, n, data.Current(n).Value, data.Ustavki[n], out);
    }
    firstCycle_ = false;
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
    // Once it answers again the motor is learnt afresh, with no start of its own.
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
        state = m.Raw;
    m.Raw = state;
    if (m.Known) {
        if (m.Pending)
            Confirm(channel, state, settings, out);
    } else if (firstCycle_ || m.Pending) {
        // At start-up the first cycle only learns where each motor stands: a motor already running
        // has no start. After a fault the first cycle may mix the fault's scans in: the second learns.
        m.Known = true;
        m.State = state;
        // Found above nominal, it may be mid-inrush: give it a start window, unsaid, before an
        // overload counts, so a restart beside a starting motor raises no false alarm.
        if (Rank(state) >= Rank(monitor::PanelState::AboveNominal)) {
            m.Starting = m.StartReached = m.QuietStart = true;
            m.StartedAt = m.RiseAt = now;
            m.StartPeak = m.RiseLevel = value;
        }
    }
    m.Pending = true;
    m.PendingAt = now;
    m.PendingValue = value;
    m.PendingState = state;
}

void MotorEventDetector::Confirm(int channel, monitor::PanelState next, const channels::TUstavka& settings,
                                 std::vector<Event>& out) {
    Motor& m = motors_[channel];
    const common::TDateTime at = m.PendingAt;
    const double value = m.PendingValue;
    const int low = std::min(Rank(m.PendingState), Rank(next));
    const int high = std::max(Rank(m.PendingState), Rank(next));
    int rank = Rank(m.State);
    if (low > rank)
        rank = low;
    else if (high < rank)
        rank = high;
    const monitor::PanelState state = kByRank[static_cast<std::size_t>(rank)];
    const bool wasOff = m.State == monitor::PanelState::Off;

    if (state == monitor::PanelState::Off) {
        if (m.Overloaded)
            out.push_back(Make(at, EventKind::OverloadEnded, channel, m.OverloadPeak,
                               SecondsBetween(m.OverloadSince, at), false));
        if (m.AboveNominal)
            out.push_back(
                Make(at, EventKind::AboveNominalEnded, channel, 0, SecondsBetween(m.AboveSince, at), false));
        if (m.Starting && !m.QuietStart)
            out.push_back(Make(at, EventKind::StartEnded, channel, m.StartPeak,
                               SecondsBetween(m.StartedAt, at), false));
        if (!wasOff)
            out.push_back(Make(at, EventKind::Stopped, channel, 0, 0, false));
        m.Overloaded = m.AboveNominal = m.Starting = m.QuietStart = false;
        m.State = state;
        return;
    }

    const bool above = rank >= Rank(monitor::PanelState::AboveNominal);
    if (wasOff) {
        m.Starting = true;
        m.StartReached = false;
        m.StartedAt = m.RiseAt = at;
        m.StartPeak = m.RiseLevel = value;
        out.push_back(Make(at, EventKind::StartBegan, channel, 0, 0, false));
    }
    if (m.Starting) {
        m.StartPeak = std::max(m.StartPeak, value);
        m.StartReached = m.StartReached || above;
        if (value > m.RiseLevel + kRiseShareOfNominal * std::abs(settings.T_Nom)) {
            m.RiseLevel = value;
            m.RiseAt = at;
        }
        // One that never got above nominal lasted until its current stopped rising.
        const double lasted = SecondsBetween(m.StartedAt, m.StartReached ? at : m.RiseAt);
        const bool windowOut = Lasted(m.StartedAt, at, startWindow_[channel]);
        if ((m.StartReached && !above) ||
            (!m.StartReached && (windowOut || Lasted(m.RiseAt, at, kSettleSeconds)))) {
            m.Starting = false;
            if (!m.QuietStart)
                out.push_back(Make(at, EventKind::StartEnded, channel, m.StartPeak, lasted, false));
        } else if (windowOut) {
            m.Starting = false;
            if (!m.QuietStart)
                out.push_back(Make(at, EventKind::LongStart, channel, m.StartPeak, lasted, true));
        }
        if (!m.Starting)
            m.QuietStart = false;
    }
    if (!m.Starting) {
        const bool overloaded = state == monitor::PanelState::Overloaded;
        if (above && !m.AboveNominal) {
            m.AboveNominal = true;
            m.AboveSince = at;
            out.push_back(Make(at, EventKind::AboveNominalBegan, channel, 0, 0, false));
        }
        if (overloaded && !m.Overloaded) {
            m.Overloaded = true;
            m.OverloadSince = at;
            m.OverloadPeak = value;
            out.push_back(Make(at, EventKind::OverloadBegan, channel, 0, 0, true));
        }
        if (m.Overloaded)
            m.OverloadPeak = std::max(m.OverloadPeak, value);
        if (!overloaded && m.Overloaded) {
            m.Overloaded = false;
            out.push_back(Make(at, EventKind::OverloadEnded, channel, m.OverloadPeak,
                               SecondsBetween(m.OverloadSince, at), false));
        }
        if (!above && m.AboveNominal) {
            m.AboveNominal = false;
            out.push_back(
                Make(at, EventKind::AboveNominalEnded, channel, 0, SecondsBetween(m.AboveSince, at), false));
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
    case EventKind::ReportNotWritten:
        return "отчёт не записан";
    case EventKind::WebLogin:
        return "веб-просмотр: вход";
    case EventKind::WebLoginRefused:
        return "отказ во входе";
    }
    return "";
}

} // namespace registrator::events
