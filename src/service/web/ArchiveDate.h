#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace registrator::web {

// A day named in an archive address: an archive file name's date (common::ArchiveDateValue) from 1900 on.
// The text given back is rebuilt from the day, so nothing of the request itself ever reaches a file name.
std::optional<std::string> ParseArchiveDate(std::string_view text);

} // namespace registrator::web
