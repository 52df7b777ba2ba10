#pragma once

#include "history/DigestStore.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace registrator::ui {

// A thread of its own for reading the archive's history, with the memory a reader keeps from one read
// to the next: the windows hand it work, which runs in the order given and hands its answer back to the
// window's thread itself. It reads files only, never the recorder's objects. The thread starts with the
// first work and ends with the worker, after the work running then has stopped.
class HistoryWorker {
public:
    using Work = std::function<void(history::Workspace&)>;

    HistoryWorker() = default;
    ~HistoryWorker();
    HistoryWorker(const HistoryWorker&) = delete;
    HistoryWorker& operator=(const HistoryWorker&) = delete;

    // Work that is no longer wanted returns at once: its own stop check says so.
    void Post(Work work);
    // The reader's memory goes once the work before it has run (about 10 MB once a day's digest was
    // made): a closed window keeps none.
    void Release();

private:
    void Run();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Work> waiting_;
    bool ending_ = false;
    std::thread thread_;
};

} // namespace registrator::ui
