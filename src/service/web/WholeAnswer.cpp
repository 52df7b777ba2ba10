#include "service/web/WholeAnswer.h"

namespace registrator::web {

WholeAnswer::WholeAnswer(HttpConnection& connection, Done done)
    : QObject(&connection), connection_(connection), done_(std::move(done)) {}

WholeAnswer::~WholeAnswer() {
    if (job_)
        job_->Cancel();
}

bool WholeAnswer::Start(std::unique_ptr<ArchiveWork> work, std::shared_ptr<std::atomic<int>> running) {
    job_ = ArchiveJob::Start(std::move(work), std::move(running), this, [this] { Pump(); });
    return job_ != nullptr;
}

void WholeAnswer::Pump() {
    if (answered_ || !job_)
        return;
    std::string piece;
    while (job_->Take(piece))
        body_ += piece;
    if (!job_->Finished())
        return;
    answered_ = true;
    done_(connection_, body_, job_->Error());
    job_->Cancel();
    deleteLater();
}

} // namespace registrator::web
