#pragma once

#include "service/web/ArchiveJob.h"
#include "service/web/HttpConnection.h"

#include <QObject>
#include <functional>
#include <memory>
#include <string>

namespace registrator::web {

// One request whose answer an archive job makes whole, a period's chart: the connection waits while the
// job runs, and `done` answers once it has ended, with what it made or why it failed. It lives as a
// child of its connection, so a client that goes takes its job with it.
class WholeAnswer : public QObject {
    Q_OBJECT
public:
    using Done = std::function<void(HttpConnection&, const std::string& body, const std::string& error)>;
    WholeAnswer(HttpConnection& connection, Done done);
    ~WholeAnswer() override;

    // False when no job could start (too many running); nothing has been answered then.
    bool Start(std::unique_ptr<ArchiveWork> work, std::shared_ptr<std::atomic<int>> running);

private:
    void Pump();

    HttpConnection& connection_;
    Done done_;
    std::shared_ptr<ArchiveJob> job_;
    std::string body_;
    bool answered_ = false;
};

} // namespace registrator::web
