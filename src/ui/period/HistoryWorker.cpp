#include "ui/period/HistoryWorker.h"

namespace registrator::ui {

HistoryWorker::~HistoryWorker() {
    {
        std::lock_guard lock(mutex_);
        ending_ = true;
        waiting_.clear();
    }
    wake_.notify_one();
    if (thread_.joinable())
        thread_.join();
}

void HistoryWorker::Post(Work work) {
    {
        std::lock_guard lock(mutex_);
        waiting_.push_back(std::move(work));
        if (!thread_.joinable())
            thread_ = std::thread(&HistoryWorker::Run, this);
    }
    wake_.notify_one();
}

void HistoryWorker::Release() {
    Post([](history::Workspace& work) { work = history::Workspace{}; });
}

void HistoryWorker::Run() {
    auto work = std::make_unique<history::Workspace>();
    for (;;) {
        Work next;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return ending_ || !waiting_.empty(); });
            if (ending_)
                return;
            next = std::move(waiting_.front());
            waiting_.pop_front();
        }
        next(*work);
    }
}

} // namespace registrator::ui
