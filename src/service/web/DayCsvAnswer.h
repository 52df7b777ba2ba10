#pragma once

#include "service/web/ArchiveJob.h"
#include "service/web/DayCsv.h"
#include "service/web/HttpConnection.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

namespace registrator::web {

// One archive CSV request, from its job to its connection: the head once the day's file has opened,
// then each piece as the socket passes on the one before (the summary, built whole, at once with its
// length). It lives as a child of its connection, so a client that goes takes its job with it.
class DayCsvAnswer : public QObject {
    Q_OBJECT
public:
    // `date` names the day as DD.MM.YYYY, for the messages and the file name; `rejected` counts an
    // error answer.
    DayCsvAnswer(HttpConnection& connection, QString date, DayCsvKind kind, archive::CsvForm form,
                 std::function<void()> rejected);
    ~DayCsvAnswer() override;

    // False when no job could start (too many running); nothing has been answered then.
    bool Start(std::unique_ptr<DayCsv> csv, std::shared_ptr<std::atomic<int>> running);

private:
    void Pump();
    HttpHeaders CsvHeaders() const;
    void Fail(int status, const QString& text);
    void Done();

    HttpConnection& connection_;
    QString date_;
    DayCsvKind kind_;
    archive::CsvForm form_;
    std::function<void()> rejected_;
    std::shared_ptr<ArchiveJob> job_;
    QByteArray summary_;
    bool begun_ = false;
    bool done_ = false;
};

} // namespace registrator::web
