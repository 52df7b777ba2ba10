#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace registrator::channels {

// An INI text held line by line, so that a rewrite changes only the lines it must: every other line,
// with its own line ending (CRLF, LF or a lone CR), comes back byte for byte. Section and key names are ASCII
// and matched without regard to case; blanks around names and values are not part of them.
class IniDocument {
public:
    // An empty document ends its lines with CRLF; a parsed one with the ending its text uses.
    static IniDocument Parse(std::string_view bytes);

    std::string Serialize() const;
    const std::string& LineEnding() const { return lineEnding_; }

    struct Entry {
        std::string_view Key;
        std::string_view Value;
    };

    // The value of the first such key in the first such section.
    std::optional<std::string_view> Find(std::string_view section, std::string_view key) const;
    // The keys of the first such section in file order; views into the document, valid until it changes.
    std::vector<Entry> Entries(std::string_view section) const;
    static std::optional<std::string_view> Find(const std::vector<Entry>& entries, std::string_view key);
    // Replaces the value of a present key in place; otherwise appends the key after the last non-blank
    // line of its section, or appends the section at the end.
    void Set(std::string_view section, std::string_view key, std::string_view value);

private:
    struct Line {
        std::string Text;
        std::string Ending;
    };
    struct Section {
        std::string Name;
        bool HasHeader = false;
        std::vector<Line> Lines;
    };

    const Section* FindSection(std::string_view name) const;
    Section* FindSection(std::string_view name);
    // Makes sure the last line of the document ends, before anything goes after it.
    void EndLastLine();
    void AddSection(Section section);

    std::vector<Section> sections_;
    // Lower-case section name to the first section of that name.
    std::unordered_map<std::string, std::size_t> index_;
    std::string lineEnding_ = "\r\n";
};

} // namespace registrator::channels
