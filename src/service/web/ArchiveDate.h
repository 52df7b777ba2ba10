#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace registrator::web {

// A day named in an archive address: exactly "DD.MM.YYYY" and a date that exists. The text given back is
// rebuilt from the numbers, so nothing of the request itself ever reaches a file name.
std::optional<std::string> ParseArchiveDate(std::string_view text);

} // namespace registrator::web
