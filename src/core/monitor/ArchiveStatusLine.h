#pragma once

#include "archive/Archive.h"

#include <string>

namespace registrator::monitor {

// The line under the mimic panel: where the archive goes and how many records today's file holds,
// and, once appends or the day's snapshot fail, a warning naming the reason. Texts are UTF-8.
struct ArchiveStatusLine {
    std::string Info;
    std::string Warning; // empty while appends succeed
};

// `absoluteFolder` is the archive folder as the operator should see it (the program's is relative). A
// snapshot still to be written is warned of beside the appends.
ArchiveStatusLine DescribeArchive(const archive::AppendStatus& status,
                                  const archive::SnapshotStatus& snapshot, const std::string& absoluteFolder);

} // namespace registrator::monitor
