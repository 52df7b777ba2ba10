#pragma once

#include "channels/ChannelData.h"
#include "common/DateTime.h"
#include "monitor/PanelState.h"

#include <array>
#include <string>
#include <vector>

namespace registrator::events {

enum class EventKind {
    StartBegan,    // a motor left the switched-off state
    StartEnded,    // its current fell back below nominal, or settled short of it: peak and duration
    LongStart,     // still above nominal when its start window ran out: an alarm
    OverloadBegan, // above critical outside a start: an alarm
    OverloadEnded, // peak and duration
    AboveNominalBegan,
    AboveNominalEnded,
    Stopped,        // back to switched off
    ConverterStuck, // the raw count held at full scale while the port answers: an alarm
    ConverterFreed,
    NoConverterAnswers, // all 72 at full scale: the converters' supply or cable, one alarm for all
    ConvertersAnswer,
    ProgramStarted,
    ProgramEnded,
    PortNotReady,       // the program ends at start-up: the system's words in the text
    AveragingReset,     // the averaging failed on a count of 0 and went back to 5
    ArchiveFailing,     // an append to the day file failed: an alarm, records are being lost
    ArchiveRecovered,   // appends go through again
    DayChanged,         // the first line of a new day's journal written by a running program
    CalibrationChanged, // "применить" changed a channel: the fields, old and new, in the text
    Acknowledged,       // the operator acknowledged an alarm: which, and since when, in the text
    ScanTimingChanged, // "применить" of the scan timing window changed its intervals or averaging count
    ReportNotWritten, // a scheduled report failed: which and why in the text; tried again at the next check
    WebLogin,         // a user's first log-in of the day to the web view: the name and address in the text
    WebLoginRefused,  // a log-in to the web view turned away: the name given, the address and why
};
constexpr int kEventKindCount = static_cast<int>(EventKind::WebLoginRefused) + 1;

struct Event {
    common::TDateTime Time = 0; // date and time
    EventKind Kind = EventKind::StartBegan;
    int Channel = 0;    // 0: the whole plant
    double Peak = 0;    // amperes, for the ends of starts and overloads
    double Seconds = 0; // how long the start or overload lasted
    bool Alarm = false; // one the operator must acknowledge
    std::string Text;   // what else there is to say (a program event's details)
};

// Motor-aware events from each converted scan cycle. A starting motor's inrush is a start, not an
// overload: overloads and above-nominal spells count only outside a start. A start ends when its
// current, having risen above nominal, falls back below it; when, never having got there, it has not
// risen for kSettleSeconds; or when the motor's start window runs out (still above nominal: a long
// start, the mark of a jammed or overloaded machine).
//
// "Above nominal" is the panel's state: above nominal or above critical, whichever is lower.
//
// A motor switches on at any moment, so a cycle may average scans of the old current with scans of the
// new one. Such a cycle's reading lies between the two, so every cycle is judged together with the
// next: the motor takes a higher state only where both stand above its present one, and a lower one
// only where both stand below. A cycle's events carry its own time and are given out when the next
// cycle arrives.
class MotorEventDetector {
public:
    static constexpr double kDefaultStartWindowSeconds = 10;
    // How long a converter must hold full scale before it is called stuck.
    static constexpr double kStuckSeconds = 5;
    // How long a start that never reached nominal must go without rising before it is over, and by
    // how much of nominal its current must pass its last high to count as rising.
    static constexpr double kSettleSeconds = 2;
    static constexpr double kRiseShareOfNominal = 0.05;

    // Start windows per channel, in seconds.
    void SetStartWindow(int channel, double seconds) { startWindow_[channel] = seconds; }

    // The cycle converted at `now`: each channel's current, raw count and settings.
    void Observe(common::TDateTime now, const channels::ChannelData& data, std::vector<Event>& out);

private:
    struct Motor {
        monitor::PanelState State = monitor::PanelState::Off; // as confirmed
        monitor::PanelState Raw = monitor::PanelState::Off;   // the last cycle's own
        bool Known = false;
        bool Pending = false; // the last cycle observed the motor and waits for this one
        common::TDateTime PendingAt = 0;
        double PendingValue = 0;
        monitor::PanelState PendingState = monitor::PanelState::Off;
        bool Starting = false;
        bool StartReached = false; // above nominal since the start began
        bool QuietStart = false;   // found above nominal when learnt: its end goes unsaid
        common::TDateTime StartedAt = 0;
        double StartPeak = 0;
        double RiseLevel = 0; // the start's current when it last rose
        common::TDateTime RiseAt = 0;
        bool Overloaded = false;
        common::TDateTime OverloadSince = 0;
        double OverloadPeak = 0;
        bool AboveNominal = false;
        common::TDateTime AboveSince = 0;
        common::TDateTime FullScaleSince = 0; // 0: not at full scale
        bool Stuck = false;
    };
    void ForgetMotor(common::TDateTime now, int channel, std::vector<Event>& out);
    void ObserveMotor(common::TDateTime now, int channel, double value, const channels::TUstavka& settings,
                      std::vector<Event>& out);
    void Confirm(int channel, monitor::PanelState next, const channels::TUstavka& settings,
                 std::vector<Event>& out);

    std::array<Motor, channels::kChannelCount + 1> motors_{};
    std::array<double, channels::kChannelCount + 1> startWindow_ = [] {
        std::array<double, channels::kChannelCount + 1> windows{};
        windows.fill(kDefaultStartWindowSeconds);
        return windows;
    }();
    common::TDateTime allFullScaleSince_ = 0;
    bool noneAnswer_ = false;
    bool firstCycle_ = true;
};

// The kind's name as the journal writes it.
const char* EventKindText(EventKind kind);

} // namespace registrator::events
