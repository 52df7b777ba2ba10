#include "channels/IniDocument.h"

#include "common/NumberText.h"

namespace registrator::channels {

namespace {

using common::Trim;

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string LowerName(std::string_view name) {
    std::string lower(name);
    for (char& c : lower)
        c = LowerAscii(c);
    return lower;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    return true;
}

std::optional<std::string_view> HeaderName(std::string_view text) {
    text = Trim(text);
    if (text.empty() || text.front() != '[')
        return std::nullopt;
    text.remove_prefix(1);
    return Trim(text.substr(0, text.find(']')));
}

using KeyLine = IniDocument::Entry;

std::optional<KeyLine> ParseKeyLine(std::string_view text) {
    const std::string_view trimmed = Trim(text);
    if (trimmed.empty() || trimmed.front() == ';')
        return std::nullopt;
    const std::size_t equals = trimmed.find('=');
    if (equals == std::string_view::npos)
        return std::nullopt;
    return KeyLine{Trim(trimmed.substr(0, equals)), Trim(trimmed.substr(equals + 1))};
}

std::string MakeKeyLine(std::string_view key, std::string_view value) {
    std::string line(key);
    line += '=';
    line += value;
    return line;
}

} // namespace

IniDocument IniDocument::Parse(std::string_view bytes) {
    IniDocument doc;
    // A lone CR ends a line too: files saved on old Macintosh editors use nothing else.
    const std::size_t firstEnd = bytes.find_first_of("\r\n");
    if (firstEnd != std::string_view::npos)
        doc.lineEnding_ = bytes.substr(firstEnd, 2) == "\r\n" ? "\r\n" : std::string(1, bytes[firstEnd]);

    doc.sections_.push_back(Section{});
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const std::size_t end = bytes.find_first_of("\r\n", pos);
        Line line;
        if (end == std::string_view::npos) {
            line.Text = bytes.substr(pos);
            pos = bytes.size();
        } else {
            line.Text = bytes.substr(pos, end - pos);
            const std::size_t endingSize = bytes.substr(end, 2) == "\r\n" ? 2 : 1;
            line.Ending = bytes.substr(end, endingSize);
            pos = end + endingSize;
        }
        if (const auto name = HeaderName(line.Text)) {
            Section section;
            section.Name = *name;
            section.HasHeader = true;
            doc.AddSection(std::move(section));
        }
        doc.sections_.back().Lines.push_back(std::move(line));
    }
    return doc;
}

std::string IniDocument::Serialize() const {
    std::size_t size = 0;
    for (const Section& section : sections_)
        for (const Line& line : section.Lines)
            size += line.Text.size() + line.Ending.size();
    std::string out;
    out.reserve(size);
    for (const Section& section : sections_)
        for (const Line& line : section.Lines) {
            out += line.Text;
            out += line.Ending;
        }
    return out;
}

void IniDocument::AddSection(Section section) {
    index_.emplace(LowerName(section.Name), sections_.size());
    sections_.push_back(std::move(section));
}

const IniDocument::Section* IniDocument::FindSection(std::string_view name) const {
    const auto found = index_.find(LowerName(name));
    return found == index_.end() ? nullptr : &sections_[found->second];
}

IniDocument::Section* IniDocument::FindSection(std::string_view name) {
    return const_cast<Section*>(static_cast<const IniDocument*>(this)->FindSection(name));
}

std::vector<IniDocument::Entry> IniDocument::Entries(std::string_view section) const {
    std::vector<Entry> entries;
    if (const Section* found = FindSection(section))
        for (std::size_t i = 1; i < found->Lines.size(); ++i)
            if (const auto keyLine = ParseKeyLine(found->Lines[i].Text))
                entries.push_back(*keyLine);
    return entries;
}

std::optional<std::string_view> IniDocument::Find(const std::vector<Entry>& entries, std::string_view key) {
    for (const Entry& entry : entries)
        if (SameName(entry.Key, key))
            return entry.Value;
    return std::nullopt;
}

std::optional<std::string_view> IniDocument::Find(std::string_view section, std::string_view key) const {
    return Find(Entries(section), key);
}

void IniDocument::EndLastLine() {
    for (auto section = sections_.rbegin(); section != sections_.rend(); ++section)
        if (!section->Lines.empty()) {
            if (section->Lines.back().Ending.empty())
                section->Lines.back().Ending = lineEnding_;
            return;
        }
}

void IniDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
    Section* found = FindSection(section);
    if (found == nullptr) {
        EndLastLine();
        Section added;
        added.Name = section;
        added.HasHeader = true;
        std::string header(1, '[');
        header += section;
        header += ']';
        added.Lines.push_back(Line{std::move(header), lineEnding_});
        added.Lines.push_back(Line{MakeKeyLine(key, value), lineEnding_});
        AddSection(std::move(added));
        return;
    }

    std::size_t lastContent = 0;
    for (std::size_t i = 1; i < found->Lines.size(); ++i) {
        Line& line = found->Lines[i];
        const auto keyLine = ParseKeyLine(line.Text);
        if (keyLine && SameName(keyLine->Key, key)) {
            // An equal value leaves the line as it is, blanks and all.
            if (keyLine->Value != value)
                line.Text = MakeKeyLine(keyLine->Key, value);
            return;
        }
        if (!Trim(line.Text).empty())
            lastContent = i;
    }
    Line& before = found->Lines[lastContent];
    if (before.Ending.empty())
        before.Ending = lineEnding_;
    found->Lines.insert(found->Lines.begin() + static_cast<std::ptrdiff_t>(lastContent) + 1,
                        Line{MakeKeyLine(key, value), lineEnding_});
}

} // namespace registrator::channels
