#include "service/web/ArchiveDate.h"

#include "common/DateTime.h"

namespace registrator::web {

std::optional<std::string> ParseArchiveDate(std::string_view text) {
    const std::optional<common::TDateTime> day = common::ArchiveDateValue(text);
    // The archive's dates count from 1900; no day before it was ever recorded.
    if (!day || *day < common::EncodeDate(1900, 1, 1))
        return std::nullopt;
    return common::ArchiveDateText(*day);
}

} // namespace registrator::web
