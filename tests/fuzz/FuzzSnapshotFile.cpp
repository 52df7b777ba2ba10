// The day's settings snapshot: any bytes load as the whole records they hold, at most 72, the names
// stay within their 50 bytes and survive the code page round trip, and the export tool copes.
#include "ArchiveExport.h"
#include "FuzzCheck.h"
#include "archive/Archive.h"
#include "archive/RecordFiles.h"
#include "common/Clock.h"
#include "common/Cp1251.h"
#include "common/MotorName.h"
#include "support/RecordingMessages.h"
#include "support/TempFolder.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>

using namespace registrator;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const support::TempFolder folder;
    const std::string path = folder.File("06.12.2026UST.txt");
    support::WriteFileBytes(path, std::string(reinterpret_cast<const char*>(data), size));
    const std::size_t whole = std::min(size / archive::kUstRecSize, archive::kUstRecCount);

    const common::SettableClock clock(common::EncodeDate(2026, 12, 6));
    support::RecordingMessages messages;
    archive::Archive archive(folder.Slash(), clock, messages);
    archive.ReadUst("no");
    FUZZ_CHECK(messages.Texts.size() == (whole == 0 ? 1u : 0u));
    FUZZ_CHECK(whole == 0 || std::memcmp(archive.UstBuf.data(), data, whole * archive::kUstRecSize) == 0);
    for (std::size_t k = 0; k < archive::kUstRecCount; ++k) {
        const archive::TUstRec& rec = archive.UstBuf[k];
        const std::string_view name = archive::NameBytes(rec);
        FUZZ_CHECK(name.size() <= sizeof rec.Name);
        FUZZ_CHECK(common::Utf8ToCp1251(common::Cp1251ToUtf8(name)) == name);
        FUZZ_CHECK(common::MotorName::FromCp1251(name).Cp1251() == name);
        if (k >= whole)
            FUZZ_CHECK(name.empty() && rec.T_Nom == 0 && rec.T_Max == 0 && rec.Moshn == 0);
    }

    std::ostringstream out;
    std::ostringstream err;
    const int code = tools::RunArchiveTool({"settings", path}, out, err);
    if (whole == 0)
        FUZZ_CHECK(code == tools::kExitBadFile && out.str().empty());
    else if (size == archive::kUstRecCount * archive::kUstRecSize)
        FUZZ_CHECK(code == tools::kExitOk && err.str().empty());
    else
        FUZZ_CHECK(code != tools::kExitOk || err.str().empty());
    return 0;
}
