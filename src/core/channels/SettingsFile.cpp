#include "channels/SettingsFile.h"

#include "channels/IniDocument.h"
#include "common/AtomicFile.h"
#include "common/Cp1251.h"
#include "common/NumberText.h"
#include "common/Utf8Path.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <sstream>

namespace registrator::channels {

namespace fs = std::filesystem;

namespace {

enum class KeyKind { Text, Float, Integer };

struct KeyInfo {
    std::string_view Key;
    KeyKind Kind;
    double TUstavka::*Float;
    std::int32_t TUstavka::*Integer;
};

// The keys in the order every channel's section writes and reads them; defaults come from DefaultUstavka.
constexpr std::array<KeyInfo, 7> kKeys = {{
    {"Name", KeyKind::Text, nullptr, nullptr},
    {"Koof_K", KeyKind::Float, &TUstavka::Koof_K, nullptr},
    {"Koof_B", KeyKind::Float, &TUstavka::Koof_B, nullptr},
    {"T_Nom", KeyKind::Float, &TUstavka::T_Nom, nullptr},
    {"T_Max", KeyKind::Float, &TUstavka::T_Max, nullptr},
    {"Moshn", KeyKind::Integer, nullptr, &TUstavka::Moshn},
    {"Oborot", KeyKind::Integer, nullptr, &TUstavka::Oborot},
}};

std::string SectionOf(int channel) {
    return "Ustavki" + std::to_string(channel);
}

// A line break inside a name would end its line and turn the rest of the name into keys of the file.
std::string NameValue(const common::MotorName& name) {
    std::string value(name.Cp1251());
    for (char& c : value)
        if (c == '\r' || c == '\n' || c == '\0')
            c = ' ';
    return value;
}

std::string ValueText(const KeyInfo& info, const TUstavka& u, char decimalSeparator) {
    switch (info.Kind) {
    case KeyKind::Text:
        return NameValue(u.Name);
    case KeyKind::Float:
        return common::FloatToText(u.*info.Float, decimalSeparator);
    case KeyKind::Integer:
        break;
    }
    return common::IntToText(u.*info.Integer);
}

// Values are read with either separator: a file written under other regional settings keeps its numbers.
void ReadKey(const KeyInfo& info, const std::vector<IniDocument::Entry>& entries, const TUstavka& defaults,
             TUstavka& u) {
    const std::optional<std::string_view> value = IniDocument::Find(entries, info.Key);
    switch (info.Kind) {
    case KeyKind::Text:
        u.Name = value ? common::MotorName::FromCp1251(*value) : defaults.Name;
        return;
    case KeyKind::Float: {
        const auto number = value ? common::ParseFloatAnySeparator(*value) : std::nullopt;
        u.*info.Float = number.value_or(defaults.*info.Float);
        return;
    }
    case KeyKind::Integer: {
        const auto number = value ? common::ParseInt(*value) : std::nullopt;
        u.*info.Integer = number.value_or(defaults.*info.Integer);
        return;
    }
    }
}

void ReadChannelFrom(const IniDocument& doc, UstavkiTable& ustavki, int channel) {
    TUstavka& u = ustavki[channel];
    const TUstavka defaults = DefaultUstavka(channel);
    const std::vector<IniDocument::Entry> entries = doc.Entries(SectionOf(channel));
    for (const KeyInfo& info : kKeys)
        ReadKey(info, entries, defaults, u);
}

void WriteChannelTo(IniDocument& doc, const UstavkiTable& ustavki, int channel, char decimalSeparator) {
    const TUstavka& u = ustavki[channel];
    const std::string section = SectionOf(channel);
    for (const KeyInfo& info : kKeys)
        doc.Set(section, info.Key, ValueText(info, u, decimalSeparator));
}

// The file's text as Windows-1251, for reads and writes alike: a file edited on a modern system may be
// UTF-8 or UTF-16, and a save must rewrite the very text that was read, not its bytes taken as
// Windows-1251.
std::optional<std::string> ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (in.bad())
        return std::nullopt;
    return common::TextFileToCp1251(std::move(bytes).str());
}

// NUL and the control characters other than blanks, line ends and the end-of-file mark of old editors.
bool HoldsNonTextBytes(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\v' && byte != '\f' && byte != '\r' &&
               byte != 0x1A;
    });
}

bool HoldsAChannelKey(const IniDocument& doc) {
    for (int channel = 1; channel <= kChannelCount; ++channel)
        if (!doc.Entries(SectionOf(channel)).empty())
            return true;
    return false;
}

// The document of a file's text; nothing for bytes that are no text. A text file with a stray
// control byte still gives the channels it holds.
std::optional<IniDocument> ParseText(std::string_view text) {
    IniDocument doc = IniDocument::Parse(text);
    if (HoldsNonTextBytes(text) && !HoldsAChannelKey(doc))
        return std::nullopt;
    return doc;
}

// For reading: a file that is missing, cannot be read or holds no text gives every key its default.
std::pair<IniDocument, SettingsLoad> LoadForReading(const fs::path& path) {
    std::error_code error;
    const std::optional<std::string> text =
        fs::is_regular_file(path, error) ? ReadText(path) : std::optional<std::string>{};
    if (!text)
        return {IniDocument::Parse({}), SettingsLoad::Missing};
    std::optional<IniDocument> doc = ParseText(*text);
    if (!doc)
        return {IniDocument::Parse({}), SettingsLoad::NotText};
    return {*std::move(doc), SettingsLoad::Read};
}

// For writing: a missing file starts empty; one that is there but cannot be read, or holds no text,
// must not be replaced by a file that holds only our sections, nor have them appended to its bytes.
IniDocument LoadForWriting(const fs::path& path, const std::string& pathText) {
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (!fs::exists(status))
        return IniDocument::Parse({});
    if (!fs::is_regular_file(status))
        throw SettingsWriteError(pathText);
    const std::optional<std::string> text = ReadText(path);
    std::optional<IniDocument> doc = text ? ParseText(*text) : std::nullopt;
    if (!doc)
        throw SettingsWriteError(pathText);
    return *std::move(doc);
}

void ReplaceFile(const fs::path& path, const std::string& pathText, std::string_view bytes,
                 const std::function<void()>& beforeReplace) {
    const common::ReplaceResult result = common::ReplaceFileAtomically(path, bytes, beforeReplace);
    if (result == common::ReplaceResult::Replaced)
        return;
    // A locked-down program folder admits no temporary file beside the settings, while the file
    // itself may still be writable: then it is rewritten in place, as the only write the folder
    // allows, though a crash in the middle of it could leave the file cut short.
    if (result == common::ReplaceResult::NoTemporary && common::RewriteInPlace(path, bytes))
        return;
    throw SettingsWriteError(pathText);
}

} // namespace

SettingsWriteError::SettingsWriteError(const std::string& path)
    : std::runtime_error("Unable to write to " + path), path_(path) {}

std::string ProgramTitle(const std::string& executablePath) {
    const std::size_t slash = executablePath.find_last_of("/\\");
    std::string title = executablePath.substr(slash == std::string::npos ? 0 : slash + 1);
    // The executable's name is UTF-8: a Cyrillic name is lowered as a Latin one is.
    return common::LowerCaseAfterFirstCharacter(title.substr(0, title.find('.')));
}

std::string FolderOf(const std::string& executablePath) {
    const std::size_t slash = executablePath.find_last_of("/\\");
    return slash == std::string::npos ? std::string{} : executablePath.substr(0, slash + 1);
}

SettingsFile::SettingsFile(std::string path, common::RegionalSettings regional)
    : path_(std::move(path)), regional_(std::move(regional)) {}

void SettingsFile::WriteChannel(const UstavkiTable& ustavki, int channel) {
    const fs::path path = common::PathFromUtf8(path_);
    IniDocument doc = LoadForWriting(path, path_);
    WriteChannelTo(doc, ustavki, channel, regional_.DecimalSeparator);
    ReplaceFile(path, path_, doc.Serialize(), beforeReplace_);
}

void SettingsFile::ReadChannel(UstavkiTable& ustavki, int channel) const {
    ReadChannelFrom(LoadForReading(common::PathFromUtf8(path_)).first, ustavki, channel);
}

void SettingsFile::SaveAll(const UstavkiTable& ustavki, const ProgressCallback& progress) {
    const fs::path path = common::PathFromUtf8(path_);
    IniDocument doc = LoadForWriting(path, path_);
    for (int channel = 1; channel <= kChannelCount; ++channel) {
        WriteChannelTo(doc, ustavki, channel, regional_.DecimalSeparator);
        // The last step waits for the file itself: a full gauge means the settings are on disk.
        if (progress && channel < kChannelCount)
            progress(channel);
    }
    ReplaceFile(path, path_, doc.Serialize(), beforeReplace_);
    if (progress)
        progress(kChannelCount);
}

SettingsLoad SettingsFile::LoadAll(UstavkiTable& ustavki, const ProgressCallback& progress) const {
    ResetForLoading(ustavki);
    const auto [doc, found] = LoadForReading(common::PathFromUtf8(path_));
    for (int channel = 1; channel <= kChannelCount; ++channel) {
        ReadChannelFrom(doc, ustavki, channel);
        if (progress)
            progress(channel);
    }
    return found;
}

std::optional<std::string> SettingsFile::SetAside(common::TDateTime now) {
    // Through a link, the file it leads to is moved beside itself; the link stays for the next file.
    std::error_code linkError;
    const fs::path file = common::FollowLinks(common::PathFromUtf8(path_), linkError);
    if (linkError)
        return std::nullopt;
    const std::string stem =
        common::Utf8FromPath(file) + ".unreadable-" + common::FormatDate(now, "yyyy-MM-dd");
    constexpr int kMostKeptADay = 1000;
    for (int n = 1; n <= kMostKeptADay; ++n) {
        const std::string kept = n == 1 ? stem : stem + '-' + std::to_string(n);
        const fs::path keptPath = common::PathFromUtf8(kept);
        std::error_code error;
        if (fs::exists(fs::symlink_status(keptPath, error)))
            continue;
        fs::rename(file, keptPath, error);
        if (error)
            return std::nullopt;
        return kept;
    }
    return std::nullopt;
}

std::array<double, kChannelCount + 1> SettingsFile::ReadStartWindows(double fallback) const {
    std::array<double, kChannelCount + 1> windows{};
    windows.fill(fallback);
    const IniDocument doc = LoadForReading(common::PathFromUtf8(path_)).first;
    for (int channel = 1; channel <= kChannelCount; ++channel) {
        const auto value = IniDocument::Find(doc.Entries(SectionOf(channel)), "StartWindow");
        const auto seconds = value ? common::ParseFloatAnySeparator(*value) : std::nullopt;
        // At most a day: beyond that the start would never end, which is no window.
        if (seconds && *seconds > 0 && *seconds <= 86400)
            windows[channel] = *seconds;
    }
    return windows;
}

namespace {

constexpr std::string_view kLineVoltageKey = "LineVoltage";
constexpr std::string_view kPowerFactorKey = "PowerFactor";

std::optional<double> KeyNumber(const std::vector<IniDocument::Entry>& entries, std::string_view key,
                                double most) {
    const auto value = IniDocument::Find(entries, key);
    const auto number = value ? common::ParseFloatAnySeparator(*value) : std::nullopt;
    if (number && *number > 0 && *number <= most)
        return number;
    return std::nullopt;
}

// "08:00" as minutes of the day.
std::optional<int> MinuteOfDay(std::string_view text) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    const std::size_t colon = text.find(':');
    const auto hours = common::ParseInt(text.substr(0, colon));
    const auto minutes =
        colon == std::string_view::npos ? std::optional<int>(0) : common::ParseInt(text.substr(colon + 1));
    if (!hours || !minutes || *hours < 0 || *hours > 23 || *minutes < 0 || *minutes > 59)
        return std::nullopt;
    return *hours * 60 + *minutes;
}

} // namespace

std::array<MotorSupply, kChannelCount + 1> SettingsFile::ReadSupplies() const {
    std::array<MotorSupply, kChannelCount + 1> supplies{};
    const IniDocument doc = LoadForReading(common::PathFromUtf8(path_)).first;
    for (int channel = 1; channel <= kChannelCount; ++channel) {
        const auto entries = doc.Entries(SectionOf(channel));
        MotorSupply& supply = supplies[static_cast<std::size_t>(channel)];
        supply.LineVoltage = KeyNumber(entries, kLineVoltageKey, 100000).value_or(supply.LineVoltage);
        supply.PowerFactor = KeyNumber(entries, kPowerFactorKey, 1).value_or(supply.PowerFactor);
    }
    return supplies;
}

void SettingsFile::WriteSupply(int channel, const MotorSupply& supply) {
    const fs::path path = common::PathFromUtf8(path_);
    IniDocument doc = LoadForWriting(path, path_);
    const std::string section = SectionOf(channel);
    doc.Set(section, kLineVoltageKey, common::FloatToText(supply.LineVoltage, regional_.DecimalSeparator));
    doc.Set(section, kPowerFactorKey, common::FloatToText(supply.PowerFactor, regional_.DecimalSeparator));
    ReplaceFile(path, path_, doc.Serialize(), beforeReplace_);
}

std::vector<int> SettingsFile::ReadShiftStarts() const {
    const std::vector<int> fallback(kDefaultShiftStarts.begin(), kDefaultShiftStarts.end());
    const IniDocument doc = LoadForReading(common::PathFromUtf8(path_)).first;
    const auto value = doc.Find("Shifts", "Starts");
    if (!value)
        return fallback;
    std::vector<int> starts;
    for (std::string_view rest = *value;;) {
        const std::size_t comma = rest.find(',');
        const auto minute = MinuteOfDay(rest.substr(0, comma));
        if (!minute)
            return fallback;
        starts.push_back(*minute);
        if (comma == std::string_view::npos)
            break;
        rest.remove_prefix(comma + 1);
    }
    std::sort(starts.begin(), starts.end());
    if (std::adjacent_find(starts.begin(), starts.end()) != starts.end())
        return fallback;
    return starts;
}

namespace {
constexpr std::string_view kHealthSection = "Health";
constexpr std::string_view kMarginKey = "Margin";

bool MarginInRange(int percent) {
    return percent >= HealthMargin::kLeastPercent && percent <= HealthMargin::kMostPercent;
}
} // namespace

HealthMargin SettingsFile::ReadHealthMargin() const {
    HealthMargin margin;
    const IniDocument doc = LoadForReading(common::PathFromUtf8(path_)).first;
    const auto value = doc.Find(kHealthSection, kMarginKey);
    if (!value)
        return margin;
    const auto percent = common::ParseInt(*value);
    if (percent && MarginInRange(*percent))
        margin.Percent = *percent;
    else
        margin.Refused = std::string(*value);
    return margin;
}

void SettingsFile::WriteHealthMargin(int percent) {
    const fs::path path = common::PathFromUtf8(path_);
    IniDocument doc = LoadForWriting(path, path_);
    doc.Set(kHealthSection, kMarginKey,
            common::IntToText(MarginInRange(percent) ? percent : HealthMargin::kDefaultPercent));
    ReplaceFile(path, path_, doc.Serialize(), beforeReplace_);
}

std::string NotTextMessage(const std::string& path, const std::optional<std::string>& keptAs) {
    std::string text =
        "Не удаётся прочитать файл настроек " + path +
        ": он не текстовый или в неизвестной кодировке. Всем каналам даны значения по умолчанию.";
    if (keptAs)
        return text + " Прежний файл сохранён без изменений как " + *keptAs + ", программа запишет новый.";
    return text +
           " Отложить прежний файл не удалось, поэтому программа не будет записывать в него настройки.";
}

} // namespace registrator::channels
