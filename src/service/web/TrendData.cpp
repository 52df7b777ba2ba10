#include "service/web/TrendData.h"

#include "integration/MqttMessages.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <stdexcept>

namespace registrator::web {

namespace {

// 1 January 1970 as a stored date.
constexpr std::int64_t kUnixEpochMs = 25569LL * 86400000;

const char* const kChannelsRule =
    "Каналы: channels=1,5,17 — от 1 до 8 разных номеров от 1 до 72 через запятую\n";
const char* const kPeriodRule = "Период: from и to как ГГГГ-ММ-ДД или ГГГГ-ММ-ДДTЧЧ:ММ, to позже from, "
                                "например from=2026-12-01&to=2026-12-08T12:00\n";
const char* const kWidthRule = "Ширина: width — число точек графика от 1 до 10000\n";

std::optional<int> Number(std::string_view text, int low, int high) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value < low || value > high)
        return std::nullopt;
    return value;
}

// "2026-12-06", "2026-12-06T08:30" or "2026-12-06T08:30:15" in milliseconds since 30 December 1899;
// -1 for anything else.
std::int64_t MomentMs(std::string_view text) {
    if (text.size() != 10 && text.size() != 16 && text.size() != 19)
        return -1;
    if (text[4] != '-' || text[7] != '-' || (text.size() > 10 && (text[10] != 'T' || text[13] != ':')) ||
        (text.size() == 19 && text[16] != ':'))
        return -1;
    const auto year = Number(text.substr(0, 4), 1900, 9999);
    const auto month = Number(text.substr(5, 2), 1, 12);
    const auto day = Number(text.substr(8, 2), 1, 31);
    const auto hour = text.size() > 10 ? Number(text.substr(11, 2), 0, 23) : 0;
    const auto minute = text.size() > 10 ? Number(text.substr(14, 2), 0, 59) : 0;
    const auto second = text.size() > 16 ? Number(text.substr(17, 2), 0, 59) : 0;
    if (!year || !month || !day || !hour || !minute || !second)
        return -1;
    try {
        return history::MsOf(common::EncodeDate(*year, *month, *day) +
                             common::EncodeTime(*hour, *minute, *second, 0));
    } catch (const std::invalid_argument&) {
        return -1; // 31 November
    }
}

std::optional<std::vector<int>> Channels(std::string_view text) {
    std::vector<int> channels;
    while (true) {
        const std::size_t comma = text.find(',');
        const auto n = Number(text.substr(0, comma), 1, channels::kChannelCount);
        if (!n || std::find(channels.begin(), channels.end(), *n) != channels.end() ||
            channels.size() == history::kMaxSeries)
            return std::nullopt;
        channels.push_back(*n);
        if (comma == std::string_view::npos)
            return channels;
        text.remove_prefix(comma + 1);
    }
}

void AppendValue(std::string& out, double value) {
    if (!std::isfinite(value)) {
        out += "null";
        return;
    }
    // Seven digits are more than a chart can show.
    char text[32];
    out.append(text, std::to_chars(text, text + sizeof text, value, std::chars_format::general, 7).ptr);
}

void AppendInteger(std::string& out, std::int64_t value) {
    char text[24];
    out.append(text, std::to_chars(text, text + sizeof text, value).ptr);
}

std::string NameOf(const history::MotorLines& lines, int channel) {
    const std::size_t end = lines.Name.find_last_not_of(' ');
    return end == std::string::npos ? "канал " + std::to_string(channel) : lines.Name.substr(0, end + 1);
}

void AppendSeries(std::string& out, const history::ArchiveHistory& history,
                  const history::SeriesRequest& request, const history::Series& series) {
    const history::MotorLines lines = history::LinesOf(history, request.From, request.To, series.Channel);
    out += "{\"channel\":";
    AppendInteger(out, series.Channel);
    out += ",\"name\":" + integration::JsonString(NameOf(lines, series.Channel));
    out += ",\"section\":" +
           integration::JsonString(channels::SectionName(channels::SectionOfChannel(series.Channel)));
    out += ",\"nominal\":";
    AppendValue(out, lines.Nominal);
    out += ",\"critical\":";
    AppendValue(out, lines.Critical);
    const auto column = [&](const char* name, auto value) {
        out += ",\"";
        out += name;
        out += "\":[";
        for (std::size_t i = 0; i < series.Points.size(); ++i) {
            if (i)
                out += ',';
            value(series.Points[i]);
        }
        out += ']';
    };
    column("t",
           [&](const history::SeriesPoint& p) { AppendInteger(out, history::MsOf(p.Time) - kUnixEpochMs); });
    column("min", [&](const history::SeriesPoint& p) { AppendValue(out, p.Records ? p.Min : NAN); });
    column("mean", [&](const history::SeriesPoint& p) { AppendValue(out, p.Records ? p.Mean : NAN); });
    column("max", [&](const history::SeriesPoint& p) { AppendValue(out, p.Records ? p.Max : NAN); });
    out += '}';
}

} // namespace

bool ReadQuery(std::string_view query,
               std::initializer_list<std::pair<std::string_view, std::optional<std::string_view>*>> slots,
               std::string_view address, std::string& error) {
    while (!query.empty()) {
        const std::size_t amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        query.remove_prefix(amp == std::string_view::npos ? query.size() : amp + 1);
        const std::size_t equals = pair.find('=');
        const std::string_view name = pair.substr(0, equals);
        const auto slot =
            std::find_if(slots.begin(), slots.end(), [&](const auto& s) { return s.first == name; });
        if (slot == slots.end() || *slot->second) {
            error = "Параметр " + std::string(name) +
                    (slot != slots.end() ? " указан дважды" : " не известен") +
                    "; адрес: " + std::string(address) + "\n";
            return false;
        }
        *slot->second = equals == std::string_view::npos ? "" : pair.substr(equals + 1);
    }
    return true;
}

std::optional<history::SeriesRequest> ParseTrendQuery(std::string_view query, std::string& error) {
    std::optional<std::string_view> channels, from, to, width;
    if (!ReadQuery(query, {{"channels", &channels}, {"from", &from}, {"to", &to}, {"width", &width}},
                   "/trend/data?channels=…&from=…&to=…&width=…", error))
        return std::nullopt;
    history::SeriesRequest request;
    const auto list = channels ? Channels(*channels) : std::nullopt;
    if (!list) {
        error = kChannelsRule;
        return std::nullopt;
    }
    const std::int64_t start = from ? MomentMs(*from) : -1;
    const std::int64_t end = to ? MomentMs(*to) : -1;
    if (start < 0 || end <= start) {
        error = kPeriodRule;
        return std::nullopt;
    }
    const auto points =
        width ? Number(*width, 1, static_cast<int>(kMostTrendWidth)) : static_cast<int>(kTrendWidth);
    if (!points) {
        error = kWidthRule;
        return std::nullopt;
    }
    request.Channels = *list;
    request.From = history::TimeOfMs(start);
    request.To = history::TimeOfMs(end);
    request.MaxPoints = static_cast<std::size_t>(*points);
    return request;
}

std::string TrendJson(const history::ArchiveHistory& history, const history::SeriesRequest& request,
                      const history::SeriesAnswer& answer) {
    std::string out = "{\"from\":";
    AppendInteger(out, history::MsOf(request.From) - kUnixEpochMs);
    out += ",\"to\":";
    AppendInteger(out, history::MsOf(request.To) - kUnixEpochMs);
    out += ",\"step\":";
    AppendValue(out, answer.StepSeconds);
    out += answer.FromRecords ? ",\"records\":true" : ",\"records\":false";
    out += ",\"series\":[";
    for (std::size_t k = 0; k < answer.Channels.size(); ++k) {
        if (k)
            out += ',';
        AppendSeries(out, history, request, answer.Channels[k]);
    }
    out += "],\"troubles\":[";
    for (std::size_t i = 0; i < answer.Troubles.size(); ++i)
        out += (i ? "," : "") + integration::JsonString(answer.Troubles[i]);
    out += "]}";
    return out;
}

TrendData::TrendData(history::ArchiveHistory history, history::SeriesRequest request)
    : history_(std::move(history)), request_(std::move(request)) {}

bool TrendData::Next(std::string& out, const std::function<bool()>& stop) {
    // A workspace of its own: the digests of days never charted before are made here (about 11 MB).
    history::Workspace work;
    const history::SeriesAnswer answer =
        history::QuerySeries(history_, request_, work, [&stop](const history::Progress&) { return !stop(); });
    if (answer.Stopped)
        error_ = "stopped";
    else
        out = TrendJson(history_, request_, answer);
    return false;
}

} // namespace registrator::web
