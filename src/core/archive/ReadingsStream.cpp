#include "archive/ReadingsStream.h"

#include <algorithm>

namespace registrator::archive {

ReadingsStream::ReadingsStream(const std::string& path, ArchiveFile::Links links)
    : file_(path, ArchiveFile::Mode::Read, links) {
    if (!file_.IsOpen()) {
        error_ = file_.Error();
        return;
    }
    const auto size = file_.Size();
    if (!size) {
        error_ = file_.Error();
        return;
    }
    records_ = *size / sizeof(TArhivRec);
    trailing_ = *size % sizeof(TArhivRec);
}

std::span<const TArhivRec> ReadingsStream::Next() {
    if (!IsOpen() || !error_.empty() || done_ >= records_)
        return {};
    const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(records_ - done_, kBlockRecords));
    if (block_.size() < want)
        block_.resize(kBlockRecords);
    const std::size_t got = file_.Read(block_.data(), want * sizeof(TArhivRec)) / sizeof(TArhivRec);
    if (got < want)
        error_ = file_.Error().empty() ? "file shrank while being read" : file_.Error();
    done_ += got;
    return {block_.data(), got};
}

bool ReadingsStream::Rewind() {
    if (!IsOpen() || !file_.Seek(0)) {
        if (error_.empty())
            error_ = file_.Error();
        return false;
    }
    done_ = 0;
    return error_.empty();
}

} // namespace registrator::archive
