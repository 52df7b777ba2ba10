// The settings document: any bytes read as an INI text must come back byte for byte, and a value
// set must be found again, in the document and in its text read anew.
#include "FuzzCheck.h"
#include "channels/IniDocument.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using registrator::channels::IniDocument;

namespace {

std::vector<std::pair<std::string, std::string>> EntriesOf(const IniDocument& doc, std::string_view section) {
    std::vector<std::pair<std::string, std::string>> out;
    for (const auto& entry : doc.Entries(section))
        out.emplace_back(entry.Key, entry.Value);
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    IniDocument doc = IniDocument::Parse(bytes);
    FUZZ_CHECK(doc.Serialize() == bytes);

    // One key of an existing or a new channel section; the other channel's keys stay as they were.
    const std::string section = size % 2 == 0 ? "Ustavki1" : "Ustavki72";
    const std::string other = size % 2 == 0 ? "Ustavki72" : "Ustavki1";
    const auto otherBefore = EntriesOf(doc, other);
    doc.Set(section, "Koof_K", "0,5");
    doc.Set(section, "Name", "Насос 3");
    FUZZ_CHECK(doc.Find(section, "koof_k") == std::string_view("0,5"));
    FUZZ_CHECK(doc.Find(section, "NAME") == std::string_view("Насос 3"));
    FUZZ_CHECK(EntriesOf(doc, other) == otherBefore);

    const std::string text = doc.Serialize();
    const IniDocument again = IniDocument::Parse(text);
    FUZZ_CHECK(again.Find(section, "Koof_K") == std::string_view("0,5"));
    FUZZ_CHECK(again.Find(section, "Name") == std::string_view("Насос 3"));
    FUZZ_CHECK(EntriesOf(again, other) == otherBefore);
    FUZZ_CHECK(again.Serialize() == text);
    return 0;
}
