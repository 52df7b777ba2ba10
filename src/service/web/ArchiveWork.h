#pragma once

#include <functional>
#include <string>

namespace registrator::web {

enum class DayOpening {
    Ready,
    NoRecords,  // no readings file for the day, or not one whole record in it
    Unreadable, // there, but not a regular file of its own, or the system refused it: Error() says why
};

// What an archive job makes off the GUI thread, a piece at a time: it reads files only.
class ArchiveWork {
public:
    virtual ~ArchiveWork() = default;
    virtual DayOpening Open() = 0;
    // Appends the next piece to `out`. False once there is nothing more: at the end, after a failure
    // (Error() then says why), or when `stop` said so.
    virtual bool Next(std::string& out, const std::function<bool()>& stop) = 0;
    virtual const std::string& Error() const = 0;
};

} // namespace registrator::web
