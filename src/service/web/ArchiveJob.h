#pragma once

#include "service/web/ArchiveWork.h"

#include <QObject>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace registrator::web {

// Work on the archive (a day's CSV, a period's chart) done on a thread of its own, never far ahead of
// the socket: it makes no more while much of it still waits to be taken. The GUI thread takes the pieces, and
// may let the job go at any time; the job then ends by itself at the next block and touches nothing of
// whoever asked for it, so a job that cannot finish never holds up the end of the program.
class ArchiveJob {
public:
    static constexpr int kMaxRunning = 4;

    // Null when `running` jobs are kMaxRunning already, or no thread could be had. `wake` is called on
    // `context`'s thread whenever there is news: the opening, a piece, the end; never after Cancel.
    static std::shared_ptr<ArchiveJob> Start(std::unique_ptr<ArchiveWork> work,
                                             std::shared_ptr<std::atomic<int>> running, QObject* context,
                                             std::function<void()> wake);

    std::optional<DayOpening> Opening() const;
    // Why opening or reading failed ("" while all is well).
    std::string Error() const;
    // Moves the next piece into `piece`; false when none is waiting.
    bool Take(std::string& piece);
    // All made and taken, or failed (then Error() says why).
    bool Finished() const;
    void Cancel();

private:
    ArchiveJob(QObject* context, std::function<void()> wake);
    void Run(ArchiveWork& work);
    void Fail(const std::string& why);
    void WakeLocked();

    mutable std::mutex mutex_;
    std::condition_variable room_;
    std::deque<std::string> pieces_;
    std::size_t queuedBytes_ = 0;
    std::optional<DayOpening> opening_;
    bool ended_ = false;
    std::string error_;
    std::atomic<bool> cancelled_ = false;
    QObject* context_; // null once cancelled
    std::function<void()> wake_;
};

} // namespace registrator::web
