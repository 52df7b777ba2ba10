#include "service/web/DayCsv.h"

#include "archive/ArchiveFile.h"
#include "archive/RecordFiles.h"
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
    return !std::filesystem::exists(std::filesystem::symlink_status(std::filesystem::u8path(path), error));
}

} // namespace

DayCsv::DayCsv(DayCsvKind kind, std::string readingsPath, std::string snapshotPath,
               const channels::UstavkiTable& present)
    : kind_(kind), readingsPath_(std::move(readingsPath)), snapshotPath_(std::move(snapshotPath)),
      present_(present), csv_(archive::AllChannels(), archive::CsvForm::Plain) {}

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
    if (!headerWritten_) {
        csv_.Header(out);
        headerWritten_ = true;
    }
    const auto block = stream_->Next();
    csv_.Rows(block, out);
    if (block.empty()) {
        done_ = true;
        error_ = stream_->Error();
    }
    return !block.empty();
}

// The same table registrator-archive summary writes, from two passes through the day.
bool DayCsv::Summarize(std::string& out, const std::function<bool()>& stop) {
    std::vector<archive::TUstRec> snapshot(archive::kUstRecCount);
    const std::size_t snapshotRecords = ReadServedSnapshot(snapshotPath_, snapshot);
    const monitor::DayMotors motors =
        monitor::MotorsOfDay(std::span(snapshot.data(), snapshotRecords), present_);
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
    monitor::WriteDaySummaryCsv(text, summaries, motors, archive::CsvForm::Plain);
    out += text.str();
    return true;
}

} // namespace registrator::web
