// The day's readings file: any bytes load as the whole records they hold, no more, and the export
// tool turns them into one CSV row each or says why it cannot.
#include "ArchiveExport.h"
#include "FuzzCheck.h"
#include "archive/Archive.h"
#include "archive/RecordFiles.h"
#include "common/Clock.h"
#include "support/RecordingMessages.h"
#include "support/TempFolder.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>

using namespace registrator;

namespace {

std::size_t RowsIn(const std::string& csv) {
    std::size_t rows = 0;
    for (std::size_t pos = csv.find("\r\n"); pos != std::string::npos; pos = csv.find("\r\n", pos + 2))
        ++rows;
    return rows;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const support::TempFolder folder;
    const std::string path = folder.File("06.12.2026.txt");
    support::WriteFileBytes(path, std::string(reinterpret_cast<const char*>(data), size));
    const std::size_t whole = size / archive::kArhivRecSize;

    const common::SettableClock clock(common::EncodeDate(2026, 12, 6));
    support::RecordingMessages messages;
    archive::Archive archive(folder.Slash(), clock, messages);
    archive.ReadArhiv("06.12.2026");
    FUZZ_CHECK(archive.ArhivCount == whole);
    FUZZ_CHECK(whole == 0 || std::memcmp(archive.ArhivBuf.data(), data, whole * archive::kArhivRecSize) == 0);
    FUZZ_CHECK(messages.Texts.size() == (whole == 0 ? 1u : 0u));

    for (const bool excel : {false, true}) {
        std::ostringstream out;
        std::ostringstream err;
        std::vector<std::string> args{"readings", path};
        if (excel)
            args.insert(args.end(), {"--excel", "--channels", "72,1-3"});
        const int code = tools::RunArchiveTool(args, out, err);
        const bool complete = whole > 0 && size % archive::kArhivRecSize == 0;
        FUZZ_CHECK(code == (complete ? tools::kExitOk : tools::kExitBadFile));
        FUZZ_CHECK(RowsIn(out.str()) == (whole == 0 ? 0 : whole + 1));
        FUZZ_CHECK(err.str().empty() == complete);
    }
    return 0;
}
