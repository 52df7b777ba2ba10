#include "service/web/DayCsv.h"

#include "archive/ArchiveFile.h"
#include "archive/RecordFiles.h"
#include "common/Utf8Path.h"
#include "monitor/DaySummaryCsv.h"

#include <filesystem>
#include <sstream>
#include <vector>

namespace registrator::web {

namespace {

// The day's snapshot, refused as a link as its readings are. What cannot be read gives no record, and
// the present settings stand in for it.
std::size_t ReadServedSnapshot(const std::string& path, std::vector<archive::TUstRec>& out) {
    archive::ArchiveFile file(path, archive::ArchiveFile::Mode::Read, archive::ArchiveFile::Links::Refuse);
    if (!file.IsOpen())
        return 0;
    return file.Read(out.data(), out.size() * sizeof(archive::TUstRec)) / sizeof(archive::TUstRec);
}

bool IsMissing(const std::string& path) {
    std::error_code error;
    return !std::filesystem::exists(std::filesystem::symlink_status(common::PathFromUtf8(path), error));
}

} // namespace

DayCsv::DayCsv(DayCsvKind kind, std::string readingsPath, std::string snapshotPath,
               const channels::UstavkiTable& present, archive::CsvForm form)
    : kind_(kind), form_(form), readingsPath_(std::move(readingsPath)),
      snapshotPath_(std::move(snapshotPath)), present_(present) {}

monitor::DayMotors DayCsv::DayMotors() const {
    std::vector<archive::TUstRec> snapshot(archive::kUstRecCount);
    const std::size_t held = ReadServedSnapshot(snapshotPath_, snapshot);
    return monitor::MotorsOfDay(std::span(snapshot.data(), held), present_);
}

DayOpening DayCsv::Open() {
    stream_.emplace(readingsPath_, archive::ArchiveFile::Links::Refuse);
    if (!stream_->IsOpen() || !stream_->Error().empty()) {
        error_ = stream_->Error();
        return IsMissing(readingsPath_) ? DayOpening::NoRecords : DayOpening::Unreadable;
    }
    // A day ending in an unfinished record still gives its whole records, as the export tool does.
    return stream_->Records() == 0 ? DayOpening::NoRecords : DayOpening::Ready;
}

bool DayCsv::Next(std::string& out, const std::function<bool()>& stop) {
    if (done_ || !stream_ || stop())
        return false;
    if (kind_ == DayCsvKind::Summary) {
        done_ = true;
        return Summarize(out, stop);
    }
    if (!csv_) {
        std::vector<std::string> names;
        if (form_ == archive::CsvForm::Spreadsheet) {
            const monitor::DayMotors motors = DayMotors();
            for (int n = 1; n <= channels::kChannelCount; ++n)
                names.push_back(motors.Motors[n].Name.Utf8());
        }
        csv_.emplace(archive::AllChannels(), form_, std::move(names));
        csv_->Header(out);
    }
    const auto block = stream_->Next();
    csv_->Rows(block, out);
    if (block.empty()) {
        done_ = true;
        error_ = stream_->Error();
    }
    return !block.empty();
}

// The same table registrator-archive summary writes, from two passes through the day.
bool DayCsv::Summarize(std::string& out, const std::function<bool()>& stop) {
    const monitor::DayMotors motors = DayMotors();
    monitor::DaySummaries summaries;
    bool stopped = false;
    const bool read = monitor::SummarizeDay(
        [&](const auto& visit) {
            if (!stream_->Rewind())
                return false;
            for (auto block = stream_->Next(); !block.empty(); block = stream_->Next()) {
                stopped = stop();
                if (stopped)
                    return false;
                visit(block);
            }
            return stream_->Error().empty();
        },
        motors.Motors, summaries);
    if (!read) {
        if (!stopped)
            error_ = stream_->Error().empty() ? "the day could not be read" : stream_->Error();
        return false;
    }
    std::ostringstream text;
    monitor::WriteDaySummaryCsv(text, summaries, motors, form_);
    out += text.str();
    return true;
}

} // namespace registrator::web
