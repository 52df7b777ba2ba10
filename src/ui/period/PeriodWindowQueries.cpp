// The period window's other half: what it asks the worker thread, and how it draws the answers.
#include "common/Utf8Path.h"
#include "ui/period/HistoryWorker.h"
#include "ui/period/PeriodWindow.h"
#include "ui/widgets/PeriodTrendChart.h"

#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>

namespace registrator::ui {

namespace {

// "2 мин", "1 ч", "2 сут" in a point.
QString StepText(double seconds) {
    if (seconds >= 86400 && std::fmod(seconds, 86400) == 0)
        return QString::number(seconds / 86400) + QStringLiteral(" сут");
    if (seconds >= 3600 && std::fmod(seconds, 3600) == 0)
        return QString::number(seconds / 3600) + QStringLiteral(" ч");
    if (seconds >= 60)
        return QString::number(seconds / 60) + QStringLiteral(" мин");
    return QString::number(seconds, 'g', 2).replace(QLatin1Char('.'), QLatin1Char(',')) +
           QStringLiteral(" с");
}

} // namespace

struct PeriodWindow::Reply {
    std::uint64_t Generation = 0;
    std::uint64_t Detail = 0;
    bool Tail = false;
    std::vector<std::pair<Query, history::SeriesAnswer>> Answers;
    std::vector<history::MotorLines> Lines; // each motor's, when asked
};

void PeriodWindow::Requery() {
    ++generation_;
    ++detailId_;
    if (stop_)
        *stop_ = true;
    stop_ = std::make_shared<std::atomic<bool>>(false);
    plot_.Clear();
    lines_.clear();
    detailAsked_.reset();
    tailAgain_ = false;
    QStringList names;
    for (const int n : motors_)
        names << MotorText(n);
    chart_->SetMotors(names);
    // Empty now, whatever was drawn before.
    drawn_ = 0;
    chart_->SetKeyBounds(QCPRange(span_.From, span_.To));
    settingView_ = true;
    chart_->xAxis->setRange(span_.From, span_.To);
    settingView_ = false;
    if (motors_.empty()) {
        Redraw();
        return;
    }
    askedWide_ = PointsWide();
    std::vector<Query> queries{{PlotPart::Whole, {span_.From, span_.To, motors_, askedWide_}}};
    if (earlierBox_->isChecked()) {
        const PeriodSpan earlier = Stepped(span_, -1);
        queries.push_back({PlotPart::WholeEarlier, {earlier.From, earlier.To, motors_, askedWide_}});
    }
    Post(std::move(queries), false, true);
}

void PeriodWindow::QueryView() {
    if (motors_.empty())
        return;
    const QCPRange view = chart_->xAxis->range();
    const double slack = 0.5 / 86400;
    if (view.lower <= span_.From + slack && view.upper >= span_.To - slack) {
        if (detailAsked_) {
            detailAsked_.reset();
            ++detailId_;
            plot_.Drop(PlotPart::Detail);
            plot_.Drop(PlotPart::DetailEarlier);
            Redraw();
            if (HoldsNow(span_, Now()))
                QueryTail();
        }
        return;
    }
    const std::size_t wide = PointsWide();
    const double wanted = view.size() / static_cast<double>(wide);
    // The detail held serves a pan within it at about the same zoom.
    if (detailAsked_ && detailAsked_->From <= view.lower && view.upper <= detailAsked_->To) {
        const double held =
            (detailAsked_->To - detailAsked_->From) / static_cast<double>(detailAsked_->MaxPoints);
        if (held <= wanted * 1.3 && held >= wanted / 1.3)
            return;
    }
    // A quarter of the view more on each side, so that a short pan shows data at once.
    const double from = std::max(span_.From, view.lower - view.size() / 4);
    const double to = std::min(span_.To, view.upper + view.size() / 4);
    history::SeriesRequest request{from, to, motors_,
                                   static_cast<std::size_t>(std::max(1.0, std::round((to - from) / wanted)))};
    detailAsked_ = request;
    ++detailId_;
    std::vector<Query> queries{{PlotPart::Detail, request}};
    if (earlierBox_->isChecked()) {
        request.From -= EarlierShift();
        request.To -= EarlierShift();
        queries.push_back({PlotPart::DetailEarlier, request});
    }
    Post(std::move(queries), false, false);
}

void PeriodWindow::FollowRecord() {
    const common::TDateTime now = Now();
    if (!isVisible() || motors_.empty() || !HoldsNow(span_, now))
        return;
    // Ten times in the time a pixel stands for: each second zoomed in to records, every ten seconds or
    // so over a day, every half a minute over a week or a month.
    const QCPRange view = chart_->xAxis->range();
    const double pixelSeconds = view.size() * 86400 / static_cast<double>(PointsWide());
    const double every = std::clamp(pixelSeconds / 10, 1.0, 30.0) - 0.5;
    if ((now - lastTail_) * 86400 < every)
        return;
    lastTail_ = now;
    QueryTail();
}

void PeriodWindow::QueryTail() {
    if (tailWaiting_) {
        tailAgain_ = true;
        return;
    }
    const PlotPart part = detailAsked_ ? PlotPart::Detail : PlotPart::Whole;
    const Asked* asked = plot_.Get(part);
    const common::TDateTime now = Now();
    // A part still asked for comes with the newest records anyway.
    if (asked && asked->Request.From <= now && now < asked->Request.To)
        Post({{part, plot_.TailRequest(part)}}, true, false);
}

history::ProgressCallback PeriodWindow::ProgressOf(std::shared_ptr<std::atomic<bool>> stop, bool always) {
    auto last = std::make_shared<std::chrono::steady_clock::time_point>();
    return [this, stop = std::move(stop), last, always](const history::Progress& step) {
        if (stop->load())
            return false;
        const auto now = std::chrono::steady_clock::now();
        if ((always || step.Building) && now - *last >= std::chrono::milliseconds(100)) {
            *last = now;
            const QString what = always ? QStringLiteral("экспорт") : QStringLiteral("построение сводок");
            QMetaObject::invokeMethod(
                this, [this, step, what] { ShowProgress(step, what); }, Qt::QueuedConnection);
        }
        return true;
    };
}

void PeriodWindow::Post(std::vector<Query> queries, bool tail, bool lines) {
    ++waiting_;
    tailWaiting_ = tailWaiting_ || tail;
    Reply reply;
    reply.Generation = generation_;
    reply.Detail = detailId_;
    reply.Tail = tail;
    worker_->Post([this, folder = s_.Archive.Folder(), present = s_.Data.Ustavki,
                   queries = std::move(queries), reply = std::move(reply), lines, motors = motors_,
                   span = span_, stop = stop_,
                   progress = ProgressOf(stop_, false)](history::Workspace& work) mutable {
        const history::ArchiveHistory history(folder, present);
        for (const Query& query : queries)
            reply.Answers.emplace_back(query, history::QuerySeries(history, query.Request, work, progress));
        for (std::size_t k = 0; lines && !stop->load() && k < motors.size(); ++k)
            reply.Lines.push_back(history::LinesOf(history, span.From, span.To, motors[k]));
        QMetaObject::invokeMethod(
            this, [this, reply = std::move(reply)] { s_.Guard([&] { Apply(reply); }); },
            Qt::QueuedConnection);
    });
}

void PeriodWindow::Apply(const Reply& reply) {
    --waiting_;
    if (reply.Tail)
        tailWaiting_ = false;
    if (reply.Generation == generation_) {
        std::vector<Query> again;
        QString stopped;
        for (const auto& [query, answer] : reply.Answers) {
            const bool detail = query.Part == PlotPart::Detail || query.Part == PlotPart::DetailEarlier;
            if (detail && reply.Detail != detailId_)
                continue; // for a view left since
            if (answer.Stopped) {
                stopped = QStringLiteral("остановлено: показано не всё");
                continue;
            }
            if (!reply.Tail)
                plot_.Set(query.Part, {query.Request, answer});
            else if (!plot_.SpliceTail(query.Part, query.Request, answer))
                again.push_back({query.Part, plot_.Get(query.Part)->Request});
        }
        if (!reply.Lines.empty())
            lines_ = reply.Lines;
        Redraw();
        if (!stopped.isEmpty())
            statusLine_->setText(stopped);
        if (!again.empty())
            Post(std::move(again), true, false);
        else if (reply.Tail && tailAgain_) {
            tailAgain_ = false;
            QueryTail();
        }
    }
    if (waiting_ == 0 && exportButton_->isEnabled())
        EndProgress();
    emit answered();
}

void PeriodWindow::Redraw() {
    const bool earlier = earlierBox_->isChecked();
    const double shift = EarlierShift();
    for (std::size_t k = 0; k < motors_.size() && static_cast<int>(k) < chart_->MotorCount(); ++k) {
        PeriodTrendChart::Band band;
        for (const history::SeriesPoint& p : plot_.Drawn(k, false)) {
            band.Keys.append(p.Time);
            band.Min.append(p.Min);
            band.Mean.append(p.Mean);
            band.Max.append(p.Max);
        }
        chart_->SetMotor(static_cast<int>(k), band);
        QVector<double> keys;
        QVector<double> means;
        if (earlier)
            for (const history::SeriesPoint& p : plot_.Drawn(k, true)) {
                keys.append(p.Time + shift);
                means.append(p.Mean);
            }
        chart_->SetEarlier(static_cast<int>(k), keys, means);
    }
    chart_->ShowEarlier(earlier);
    const double none = std::numeric_limits<double>::quiet_NaN();
    const bool lines = static_cast<std::size_t>(linesMotor_) < lines_.size();
    if (linesMotor_ < chart_->MotorCount())
        chart_->SetLines(linesMotor_, lines ? lines_[linesMotor_].Nominal : none,
                         lines ? lines_[linesMotor_].Critical : none, span_.From, span_.To);
    QVector<QCPRange> gaps;
    if (const Asked* shown = plot_.InView())
        for (const auto& [from, to] : EmptyStretches(*shown, Now()))
            gaps.append(QCPRange(from, to));
    chart_->SetGaps(gaps);
    chart_->FitValues();
    // A record that moves nothing on screen by a pixel (a month's last hour a little fuller) costs the
    // tick no replot.
    const std::uint64_t drawn = DrawnFingerprint();
    if (drawn != drawn_) {
        drawn_ = drawn;
        chart_->replot(QCustomPlot::rpQueuedReplot);
    }
    ShowStatus();
}

std::uint64_t PeriodWindow::DrawnFingerprint() const {
    std::uint64_t hash = 14695981039346656037ull;
    const auto mix = [&hash](double value) {
        const auto bits = std::isnan(value) ? std::int64_t{-1} : std::llround(value);
        hash = (hash ^ static_cast<std::uint64_t>(bits)) * 1099511628211ull;
    };
    for (const QCPRange& range : {chart_->xAxis->range(), chart_->yAxis->range()}) {
        // The axes' labels move with the ranges themselves.
        mix(range.lower * 1e9);
        mix(range.upper * 1e9);
    }
    for (int g = 0; g < chart_->graphCount(); ++g) {
        const QCPGraph* graph = chart_->graph(g);
        mix(graph->visible() ? graph->dataCount() : -2);
        for (auto p = graph->data()->constBegin(); p != graph->data()->constEnd(); ++p) {
            mix(chart_->xAxis->coordToPixel(p->key));
            mix(chart_->yAxis->coordToPixel(p->value));
        }
    }
    for (const QCPRange& gap : chart_->Gaps()) {
        mix(chart_->xAxis->coordToPixel(gap.lower));
        mix(chart_->xAxis->coordToPixel(gap.upper));
    }
    return hash;
}

void PeriodWindow::ShowStatus() {
    const Asked* shown = plot_.InView();
    if (!shown) {
        statusLine_->setText(motors_.empty() ? QStringLiteral("двигатели не выбраны") : QString());
        return;
    }
    const history::SeriesAnswer& answer = shown->Answer;
    QString text =
        answer.FromRecords ? QStringLiteral("записи из файлов дня") : QStringLiteral("сводки по минутам");
    if (answer.StepSeconds > 0)
        text += QStringLiteral(", в точке ") + StepText(answer.StepSeconds);
    if (!answer.Troubles.empty())
        text += QStringLiteral("; не прочитаны: ") + QString::fromStdString(answer.Troubles.front()) +
                (answer.Troubles.size() > 1 ? QStringLiteral(" и ещё %1").arg(answer.Troubles.size() - 1)
                                            : QString());
    statusLine_->setText(text);
}

void PeriodWindow::ShowProgress(const history::Progress& step, const QString& what) {
    progress_->setRange(0, static_cast<int>(std::max<std::size_t>(1, step.Total)));
    progress_->setValue(static_cast<int>(step.Done));
    progressText_->setText(what + QStringLiteral(": ") +
                           QString::fromStdString(common::ArchiveDateText(step.Day)) +
                           QStringLiteral(" (%1 из %2 дн.)").arg(step.Done + 1).arg(step.Total));
    for (QWidget* w : {static_cast<QWidget*>(progressText_), static_cast<QWidget*>(progress_),
                       static_cast<QWidget*>(stopButton_)})
        w->setVisible(true);
}

void PeriodWindow::EndProgress() {
    for (QWidget* w : {static_cast<QWidget*>(progressText_), static_cast<QWidget*>(progress_),
                       static_cast<QWidget*>(stopButton_)})
        w->setVisible(false);
}

void PeriodWindow::ExportShown(const QString& path, history::CsvRows rows, archive::CsvForm form) {
    const QCPRange view = chart_->xAxis->range();
    const history::CsvRequest request{std::max(span_.From, view.lower), std::min(span_.To, view.upper),
                                      motors_, rows, form};
    exportStop_ = std::make_shared<std::atomic<bool>>(false);
    exportButton_->setEnabled(false);
    worker_->Post([this, folder = s_.Archive.Folder(), present = s_.Data.Ustavki, request, path,
                   stop = exportStop_, progress = ProgressOf(exportStop_, true)](history::Workspace& work) {
        const std::filesystem::path file = common::PathFromUtf8(path.toStdString());
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        history::CsvOutcome outcome;
        if (out)
            outcome = history::WritePeriodCsv(
                history::ArchiveHistory(folder, present), request,
                [&](std::string_view part) {
                    out.write(part.data(), static_cast<std::streamsize>(part.size()));
                    return static_cast<bool>(out);
                },
                work, progress);
        out.close();
        const bool written = out && !outcome.Stopped;
        const bool stopped = stop->load();
        if (!written) {
            // Half a table is no table.
            std::error_code ignored;
            std::filesystem::remove(file, ignored);
        }
        QMetaObject::invokeMethod(
            this,
            [this, path, written, stopped, rows = outcome.Rows] {
                exportButton_->setEnabled(true);
                if (waiting_ == 0)
                    EndProgress();
                if (written)
                    statusLine_->setText(QStringLiteral("экспорт: %1 строк в %2").arg(rows).arg(path));
                else if (stopped)
                    statusLine_->setText(QStringLiteral("экспорт остановлен"));
                else
                    s_.Messages.Show("Не удалось записать файл " + path.toStdString());
                emit exported(written);
            },
            Qt::QueuedConnection);
    });
}

} // namespace registrator::ui
