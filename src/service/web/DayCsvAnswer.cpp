#include "service/web/DayCsvAnswer.h"

namespace registrator::web {

namespace {

const QByteArray kPlainText = "text/plain; charset=utf-8";

} // namespace

DayCsvAnswer::DayCsvAnswer(HttpConnection& connection, QString date, DayCsvKind kind, archive::CsvForm form,
                           std::function<void()> rejected)
    : QObject(&connection), connection_(connection), date_(std::move(date)), kind_(kind), form_(form),
      rejected_(std::move(rejected)) {
    connect(&connection_, &HttpConnection::drained, this, &DayCsvAnswer::Pump);
}

DayCsvAnswer::~DayCsvAnswer() {
    if (job_)
        job_->Cancel();
}

bool DayCsvAnswer::Start(std::unique_ptr<DayCsv> csv, std::shared_ptr<std::atomic<int>> running) {
    job_ = ArchiveJob::Start(std::move(csv), std::move(running), this, [this] { Pump(); });
    return job_ != nullptr;
}

void DayCsvAnswer::Pump() {
    if (done_ || !job_)
        return;
    const std::optional<DayOpening> opening = job_->Opening();
    if (!opening)
        return;
    if (*opening == DayOpening::NoRecords)
        return Fail(404, QStringLiteral("За %1 в архиве нет записей\n").arg(date_));
    if (*opening == DayOpening::Unreadable)
        return Fail(403, QStringLiteral("Архив за %1 не отдаётся: %2\n")
                             .arg(date_, QString::fromStdString(job_->Error())));
    std::string piece;
    if (kind_ == DayCsvKind::Summary) {
        // Seventy-three short rows: sent whole, with their length, once both passes are through.
        while (job_->Take(piece))
            summary_ += QByteArray::fromStdString(piece);
        if (!job_->Finished())
            return;
        if (!job_->Error().empty() || summary_.isEmpty())
            return Fail(500, QStringLiteral("Архив за %1 не прочитан: %2\n")
                                 .arg(date_, QString::fromStdString(job_->Error())));
        connection_.Answer(200, summary_, CsvHeaders());
        return Done();
    }
    if (!begun_) {
        begun_ = true;
        if (!connection_.BeginPieces(200, CsvHeaders()))
            return Done(); // HEAD
    }
    while (connection_.WantsMore() && job_->Take(piece))
        connection_.WritePiece(QByteArray::fromStdString(piece));
    if (!job_->Finished())
        return;
    // A day that failed halfway must not look whole to the client: the answer ends without its last
    // chunk.
    if (!job_->Error().empty())
        connection_.Abort();
    else
        connection_.EndPieces();
    Done();
}

HttpHeaders DayCsvAnswer::CsvHeaders() const {
    // Saved under the day's name rather than the address's last part ("summary.csv" for every day).
    const QString name = date_ + (kind_ == DayCsvKind::Summary ? QStringLiteral("-summary") : QString()) +
                         (form_ == archive::CsvForm::Spreadsheet ? QStringLiteral("-excel") : QString()) +
                         QStringLiteral(".csv");
    return {{"Content-Type", "text/csv; charset=utf-8"},
            {"Content-Disposition", "attachment; filename=\"" + name.toLatin1() + '"'}};
}

void DayCsvAnswer::Fail(int status, const QString& text) {
    rejected_();
    connection_.Answer(status, text.toUtf8(), {{"Content-Type", kPlainText}});
    Done();
}

void DayCsvAnswer::Done() {
    done_ = true;
    job_->Cancel();
    deleteLater();
}

} // namespace registrator::web
