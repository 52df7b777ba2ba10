#include "service/web/ArchiveJob.h"

#include <system_error>
#include <thread>

namespace registrator::web {

namespace {

// The job waits while this much is made and not yet taken; a piece is one block's rows.
constexpr std::size_t kMaxQueuedBytes = 1 << 20;

} // namespace

ArchiveJob::ArchiveJob(QObject* context, std::function<void()> wake)
    : context_(context), wake_(std::move(wake)) {}

std::shared_ptr<ArchiveJob> ArchiveJob::Start(std::unique_ptr<ArchiveWork> work,
                                              std::shared_ptr<std::atomic<int>> running, QObject* context,
                                              std::function<void()> wake) {
    if (++*running > kMaxRunning) {
        --*running;
        return nullptr;
    }
    std::shared_ptr<ArchiveJob> job(new ArchiveJob(context, std::move(wake)));
    try {
        // Detached: nothing ever waits for it; it holds what it uses.
        std::thread([job, work = std::move(work), running] {
            // Nothing thrown here may end the program: the request fails instead.
            try {
                job->Run(*work);
            } catch (const std::exception& failure) {
                job->Fail(failure.what());
            }
            --*running;
        }).detach();
    } catch (const std::system_error&) {
        --*running;
        return nullptr;
    }
    return job;
}

void ArchiveJob::Run(ArchiveWork& work) {
    const DayOpening opening = work.Open();
    {
        std::lock_guard lock(mutex_);
        opening_ = opening;
        if (opening != DayOpening::Ready) {
            ended_ = true;
            error_ = work.Error();
        }
        WakeLocked();
    }
    if (opening != DayOpening::Ready)
        return;
    const auto stop = [this] { return cancelled_.load(); };
    while (true) {
        {
            std::unique_lock lock(mutex_);
            room_.wait(lock, [this] { return cancelled_ || queuedBytes_ < kMaxQueuedBytes; });
            if (cancelled_)
                return;
        }
        std::string piece;
        const bool more = work.Next(piece, stop);
        std::lock_guard lock(mutex_);
        if (!piece.empty() && !cancelled_) {
            queuedBytes_ += piece.size();
            pieces_.push_back(std::move(piece));
        }
        if (!more) {
            ended_ = true;
            error_ = work.Error();
        }
        WakeLocked();
        if (!more)
            return;
    }
}

void ArchiveJob::Fail(const std::string& why) {
    std::lock_guard lock(mutex_);
    if (!opening_)
        opening_ = DayOpening::Unreadable;
    ended_ = true;
    error_ = why;
    WakeLocked();
}

void ArchiveJob::WakeLocked() {
    // Posted while the lock holds, and Cancel takes the lock: the context is alive when posted to, and
    // a posted call dies with it.
    if (context_)
        QMetaObject::invokeMethod(context_, wake_, Qt::QueuedConnection);
}

std::optional<DayOpening> ArchiveJob::Opening() const {
    std::lock_guard lock(mutex_);
    return opening_;
}

std::string ArchiveJob::Error() const {
    std::lock_guard lock(mutex_);
    return error_;
}

bool ArchiveJob::Take(std::string& piece) {
    std::lock_guard lock(mutex_);
    if (pieces_.empty())
        return false;
    piece = std::move(pieces_.front());
    pieces_.pop_front();
    queuedBytes_ -= piece.size();
    room_.notify_one();
    return true;
}

bool ArchiveJob::Finished() const {
    std::lock_guard lock(mutex_);
    return ended_ && pieces_.empty();
}

void ArchiveJob::Cancel() {
    std::lock_guard lock(mutex_);
    cancelled_ = true;
    context_ = nullptr;
    pieces_.clear();
    queuedBytes_ = 0;
    room_.notify_all();
}

} // namespace registrator::web
