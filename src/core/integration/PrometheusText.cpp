#include "integration/PrometheusText.h"

#include "monitor/PanelState.h"

#include <charconv>
#include <cmath>

namespace registrator::integration {

namespace {

// A label value: UTF-8 as it is, with backslash, double quote and line feed escaped.
std::string LabelValue(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        out += c;
    }
    return out;
}

// Numbers as Prometheus reads them: the shortest text that reads back the same, with a full stop
// whatever the regional settings (which Qt makes the C library's own).
std::string Number(double value) {
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value > 0 ? "+Inf" : "-Inf";
    char text[64];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return std::string(text, end);
}

void Head(std::string& out, const char* name, const char* type, const char* help) {
    out += "# HELP ";
    out += name;
    out += ' ';
    out += help;
    out += "\n# TYPE ";
    out += name;
    out += ' ';
    out += type;
    out += '\n';
}

void Sample(std::string& out, const char* name, double value) {
    out += name;
    out += ' ';
    out += Number(value);
    out += '\n';
}

} // namespace

void ScanHistogram::Observe(double seconds) {
    for (std::size_t i = 0; i < kBounds.size(); ++i)
        if (seconds <= kBounds[i])
            ++cumulative_[i];
    ++count_;
    sum_ += seconds;
}

std::string PrometheusText(const MetricsInput& input) {
    std::string labels[channels::kChannelCount];
    for (int n = 1; n <= channels::kChannelCount; ++n) {
        const int section = channels::SectionOfChannel(n);
        labels[n - 1] = "{channel=\"" + std::to_string(n) + "\",section=\"" +
                        LabelValue(channels::SectionName(section)) + "\",name=\"" +
                        LabelValue(input.Data.Ustavki[n].Name.Utf8()) + "\"}";
    }
    std::string out;
    out.reserve(32 * 1024);
    Head(out, "registrator_current_amperes", "gauge",
         "The current of each motor, whole amperes as its label shows it.");
    for (int n = 1; n <= channels::kChannelCount; ++n)
        out += "registrator_current_amperes" + labels[n - 1] + ' ' +
               monitor::CurrentLabelText(input.Data.Current(n).Value) + '\n';
    Head(out, "registrator_motor_state", "gauge",
         "The state each panel shows: 0 switched off, 1 running, 2 above nominal, 3 above critical.");
    for (int n = 1; n <= channels::kChannelCount; ++n)
        out += "registrator_motor_state" + labels[n - 1] + ' ' + std::to_string(input.States.Code(n)) + '\n';
    Head(out, "registrator_records_today", "gauge", "Readings records in today's day file.");
    Sample(out, "registrator_records_today", static_cast<double>(input.Status.RecordsToday));
    Head(out, "registrator_archive_failed_appends", "gauge",
         "Archive appends failed since the last good one.");
    Sample(out, "registrator_archive_failed_appends", static_cast<double>(input.Status.FailedAppends));
    Head(out, "registrator_scan_cycles_total", "counter", "Scan cycles run since the program started.");
    Sample(out, "registrator_scan_cycles_total", static_cast<double>(input.Scans.Count()));
    Head(out, "registrator_scan_cycle_seconds", "histogram", "How long the scan cycles took.");
    const auto& cumulative = input.Scans.Cumulative();
    for (std::size_t i = 0; i < ScanHistogram::kBounds.size(); ++i)
        out += "registrator_scan_cycle_seconds_bucket{le=\"" + Number(ScanHistogram::kBounds[i]) + "\"} " +
               std::to_string(cumulative[i]) + '\n';
    out += "registrator_scan_cycle_seconds_bucket{le=\"+Inf\"} " + std::to_string(input.Scans.Count()) + '\n';
    Sample(out, "registrator_scan_cycle_seconds_sum", input.Scans.Sum());
    Sample(out, "registrator_scan_cycle_seconds_count", static_cast<double>(input.Scans.Count()));
    Head(out, "registrator_port_state", "gauge", "The port: 0 open, 1 simulated, 2 not ready.");
    Sample(out, "registrator_port_state", static_cast<double>(input.Status.Port));
    Head(out, "registrator_modbus_clients", "gauge", "Modbus TCP clients connected.");
    Sample(out, "registrator_modbus_clients", input.Status.ModbusClients);
    Head(out, "registrator_modbus_refused_connections_total", "counter",
         "Modbus TCP connections closed unanswered since start: their address is not in --modbus-allow.");
    Sample(out, "registrator_modbus_refused_connections_total",
           static_cast<double>(input.Status.ModbusRefused));
    Head(out, "registrator_alarms_active", "gauge", "Alarms whose condition still holds.");
    Sample(out, "registrator_alarms_active", input.Status.ActiveAlarms);
    Head(out, "registrator_alarms_unacknowledged", "gauge", "Alarms the operator has not acknowledged.");
    Sample(out, "registrator_alarms_unacknowledged", input.Status.UnacknowledgedAlarms);
    return out;
}

} // namespace registrator::integration
