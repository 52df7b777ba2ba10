// The settings file: whatever a file held, the settings loaded from it, once saved, read back as
// they were saved, whether into a new file or into the old one with its other lines kept; a file
// that holds no text is left as it was.
#include "FuzzCheck.h"
#include "channels/SettingsFile.h"
#include "common/NumberText.h"
#include "support/TempFolder.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

using namespace registrator;

namespace {

void CheckSameSettings(const channels::UstavkiTable& a, const channels::UstavkiTable& b) {
    for (int n = 1; n <= channels::kChannelCount; ++n) {
        FUZZ_CHECK(a[n].Name == b[n].Name);
        FUZZ_CHECK(a[n].Koof_K == b[n].Koof_K && a[n].Koof_B == b[n].Koof_B);
        FUZZ_CHECK(a[n].T_Nom == b[n].T_Nom && a[n].T_Max == b[n].T_Max);
        FUZZ_CHECK(a[n].Moshn == b[n].Moshn && a[n].Oborot == b[n].Oborot);
    }
}

// A number as saved must read back as the value its text stands for.
void CheckSavedNumber(double loaded, double readBack) {
    const auto text = common::FloatToText(loaded, ',');
    const auto parsed = common::ParseFloatAnySeparator(text);
    if (!parsed)
        std::fprintf(stderr, "saved as \"%s\", which does not read back\n", text.c_str());
    FUZZ_CHECK(parsed && *parsed == readBack);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const support::TempFolder folder;
    const std::string original = folder.File("Registrator.INI");
    const std::string fresh = folder.File("Fresh.INI");
    support::WriteFileBytes(original, std::string(reinterpret_cast<const char*>(data), size));
    std::filesystem::remove(fresh);
    const auto regional = common::RegionalSettings::Russian();

    channels::UstavkiTable loaded;
    if (channels::SettingsFile(original, regional).LoadAll(loaded) == channels::SettingsLoad::NotText) {
        // Bytes of no text are never written to, whatever a save is asked.
        bool refused = false;
        try {
            channels::SettingsFile(original, regional).SaveAll(loaded);
        } catch (const channels::SettingsWriteError&) {
            refused = true;
        }
        FUZZ_CHECK(refused && support::ReadFileBytes(original) ==
                                  std::string(reinterpret_cast<const char*>(data), size));
        return 0;
    }

    channels::SettingsFile(fresh, regional).SaveAll(loaded);
    channels::UstavkiTable fromFresh;
    channels::SettingsFile(fresh, regional).LoadAll(fromFresh);
    for (int n = 1; n <= channels::kChannelCount; ++n) {
        CheckSavedNumber(loaded[n].Koof_K, fromFresh[n].Koof_K);
        CheckSavedNumber(loaded[n].Koof_B, fromFresh[n].Koof_B);
        CheckSavedNumber(loaded[n].T_Nom, fromFresh[n].T_Nom);
        CheckSavedNumber(loaded[n].T_Max, fromFresh[n].T_Max);
        FUZZ_CHECK(loaded[n].Moshn == fromFresh[n].Moshn && loaded[n].Oborot == fromFresh[n].Oborot);
    }

    channels::SettingsFile(original, regional).SaveAll(loaded);
    channels::UstavkiTable fromOriginal;
    channels::SettingsFile(original, regional).LoadAll(fromOriginal);
    CheckSameSettings(fromFresh, fromOriginal);
    return 0;
}
