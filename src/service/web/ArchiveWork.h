#pragma once

#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

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

// Work made whole in one Next (a period's chart, a report), ready from the start.
class WholeWork : public ArchiveWork {
public:
    DayOpening Open() override { return DayOpening::Ready; }
    const std::string& Error() const override { return error_; }

protected:
    std::string error_;
};

// Reads a query ("a=1&b=2") into the slots of the names it may hold, each at most once; false and `error`
// (showing `address`, the address with its parameters) for any other name or one given twice.
bool ReadQuery(std::string_view query,
               std::initializer_list<std::pair<std::string_view, std::optional<std::string_view>*>> slots,
               std::string_view address, std::string& error);

} // namespace registrator::web
