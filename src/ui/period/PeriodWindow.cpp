#include "ui/period/PeriodWindow.h"

#include "ui/archive/DayExport.h"
#include "ui/period/HistoryWorker.h"
#include "ui/widgets/PeriodTrendChart.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace registrator::ui {

namespace {

constexpr int kLeftColumnWidth = 300;
const QDate kDayZero(1899, 12, 30);
constexpr std::int64_t kMsPerDay = 86400000;

// By the wall clock, as the archive stores it, whatever the zone's summer time does.
QDateTime QtTimeOf(common::TDateTime value) {
    const std::int64_t ms = history::MsOf(value);
    const std::int64_t days = ms / kMsPerDay - (ms % kMsPerDay < 0);
    return QDateTime(kDayZero.addDays(days),
                     QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms - days * kMsPerDay)));
}

common::TDateTime TimeOfQt(const QDateTime& value) {
    return history::TimeOfMs(kDayZero.daysTo(value.date()) * kMsPerDay + value.time().msecsSinceStartOfDay());
}

} // namespace

PeriodWindow::PeriodWindow(Services services, QWidget* parent)
    : QWidget(parent, Qt::Window), s_(std::move(services)), worker_(std::make_unique<HistoryWorker>()) {
    setObjectName(QStringLiteral("F_period"));
    setWindowTitle(QStringLiteral("тренд за период"));
    resize(1100, 640);

    chart_ = new PeriodTrendChart(s_.Regional, this);
    chart_->setObjectName(QStringLiteral("Chart1"));
    statusLine_ = new QLabel(this);
    statusLine_->setObjectName(QStringLiteral("StatusLine"));

    auto* left = new QVBoxLayout;
    left->setSpacing(6);
    left->addWidget(BuildMotorPanel());
    left->addWidget(BuildPeriodPanel());
    exportButton_ = new QPushButton(QStringLiteral("Экспорт…"), this);
    exportButton_->setObjectName(QStringLiteral("ExportButton"));
    closeButton_ = new QPushButton(QStringLiteral("закрыть"), this);
    closeButton_->setObjectName(QStringLiteral("CloseButton"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(exportButton_);
    buttons->addWidget(closeButton_);
    left->addLayout(buttons);
    left->addWidget(BuildProgressPanel());
    left->addStretch(1);
    auto* leftPanel = new QWidget(this);
    leftPanel->setLayout(left);
    leftPanel->setFixedWidth(kLeftColumnWidth);

    auto* right = new QVBoxLayout;
    right->addWidget(chart_, 1);
    right->addWidget(statusLine_);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(leftPanel);
    layout->addLayout(right, 1);

    span_ = PeriodEndingOn(PeriodKind::Day, s_.Clock.Today());
    ShowSpan();
    SectionChange();

    viewTimer_.setSingleShot(true);
    viewTimer_.setInterval(150);
    connect(&viewTimer_, &QTimer::timeout, this, [this] { s_.Guard([&] { QueryView(); }); });
    resizeTimer_.setSingleShot(true);
    resizeTimer_.setInterval(300);
    connect(&resizeTimer_, &QTimer::timeout, this, [this] {
        // A chart much wider or narrower than the answers were asked for: asked again, the view kept.
        const double ratio =
            static_cast<double>(PointsWide()) / static_cast<double>(std::max<std::size_t>(1, askedWide_));
        if (!isVisible() || (ratio <= 1.25 && ratio >= 0.8))
            return;
        const QCPRange view = chart_->xAxis->range();
        s_.Guard([&] {
            Requery();
            if (view.lower > span_.From || view.upper < span_.To)
                ShowRange(view.lower, view.upper);
        });
    });
    connect(chart_->xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this, [this] {
        if (!settingView_)
            viewTimer_.start();
    });
    connect(sectionBox_, &QComboBox::currentIndexChanged, this, &PeriodWindow::SectionChange);
    connect(addButton_, &QPushButton::clicked, this, &PeriodWindow::AddClick);
    connect(removeButton_, &QPushButton::clicked, this, &PeriodWindow::RemoveClick);
    connect(linesBox_, &QComboBox::currentIndexChanged, this, &PeriodWindow::LinesChange);
    connect(kindBox_, &QComboBox::currentIndexChanged, this, &PeriodWindow::KindChange);
    // Typed digit by digit or picked from the calendar: asked once the operator pauses.
    rangeTimer_.setSingleShot(true);
    rangeTimer_.setInterval(700);
    connect(&rangeTimer_, &QTimer::timeout, this, &PeriodWindow::RangeEdited);
    for (QDateTimeEdit* edit : {fromEdit_, toEdit_})
        connect(edit, &QDateTimeEdit::dateTimeChanged, &rangeTimer_, qOverload<>(&QTimer::start));
    connect(backButton_, &QPushButton::clicked, this, &PeriodWindow::BackClick);
    connect(forwardButton_, &QPushButton::clicked, this, &PeriodWindow::ForwardClick);
    connect(todayButton_, &QPushButton::clicked, this, &PeriodWindow::TodayClick);
    connect(earlierBox_, &QCheckBox::clicked, this, &PeriodWindow::EarlierClick);
    connect(exportButton_, &QPushButton::clicked, this, &PeriodWindow::ExportClick);
    connect(stopButton_, &QPushButton::clicked, this, &PeriodWindow::StopClick);
    connect(closeButton_, &QPushButton::clicked, this, &QWidget::hide);
}

PeriodWindow::~PeriodWindow() {
    for (const auto& stop : {stop_, exportStop_})
        if (stop)
            *stop = true;
    // Before the members its work hands answers to.
    worker_.reset();
}

QWidget* PeriodWindow::BuildMotorPanel() {
    auto* group = new QGroupBox(QStringLiteral("Двигатели (до 8)"), this);
    sectionBox_ = new QComboBox(group);
    sectionBox_->setObjectName(QStringLiteral("SectionBox"));
    for (int s = 1; s <= channels::kSectionCount; ++s) {
        const std::string_view name = channels::SectionName(s);
        sectionBox_->addItem(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
    }
    motorBox_ = new QComboBox(group);
    motorBox_->setObjectName(QStringLiteral("MotorBox"));
    addButton_ = new QPushButton(QStringLiteral("добавить"), group);
    addButton_->setObjectName(QStringLiteral("AddButton"));
    removeButton_ = new QPushButton(QStringLiteral("убрать"), group);
    removeButton_->setObjectName(QStringLiteral("RemoveButton"));
    motorList_ = new QListWidget(group);
    motorList_->setObjectName(QStringLiteral("MotorList"));
    motorList_->setFixedHeight(8 * 18 + 6);
    linesBox_ = new QComboBox(group);
    linesBox_->setObjectName(QStringLiteral("LinesBox"));

    auto* grid = new QGridLayout(group);
    grid->addWidget(new QLabel(QStringLiteral("Участок:"), group), 0, 0);
    grid->addWidget(sectionBox_, 0, 1, 1, 2);
    grid->addWidget(motorBox_, 1, 0, 1, 3);
    grid->addWidget(addButton_, 2, 1);
    grid->addWidget(removeButton_, 2, 2);
    grid->addWidget(motorList_, 3, 0, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Уставки:"), group), 4, 0);
    grid->addWidget(linesBox_, 4, 1, 1, 2);
    return group;
}

QWidget* PeriodWindow::BuildPeriodPanel() {
    auto* group = new QGroupBox(QStringLiteral("Период"), this);
    kindBox_ = new QComboBox(group);
    kindBox_->setObjectName(QStringLiteral("KindBox"));
    for (const PeriodKind kind : {PeriodKind::Day, PeriodKind::Week, PeriodKind::Month, PeriodKind::Range})
        kindBox_->addItem(KindText(kind));
    const QString format = QString::fromStdString(s_.Regional.ShortDateFormat) + QStringLiteral(" HH:mm");
    const auto edit = [&](const char* name) {
        auto* e = new QDateTimeEdit(group);
        e->setObjectName(QString::fromLatin1(name));
        e->setCalendarPopup(true);
        e->setDisplayFormat(format);
        return e;
    };
    fromEdit_ = edit("FromEdit");
    toEdit_ = edit("ToEdit");
    backButton_ = new QPushButton(QStringLiteral("◄"), group);
    backButton_->setObjectName(QStringLiteral("BackButton"));
    backButton_->setToolTip(QStringLiteral("на период назад"));
    forwardButton_ = new QPushButton(QStringLiteral("►"), group);
    forwardButton_->setObjectName(QStringLiteral("ForwardButton"));
    forwardButton_->setToolTip(QStringLiteral("на период вперёд"));
    todayButton_ = new QPushButton(QStringLiteral("сегодня"), group);
    todayButton_->setObjectName(QStringLiteral("TodayButton"));
    earlierBox_ = new QCheckBox(EarlierText(PeriodKind::Day), group);
    earlierBox_->setObjectName(QStringLiteral("EarlierBox"));

    auto* grid = new QGridLayout(group);
    grid->addWidget(kindBox_, 0, 0, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("с"), group), 1, 0);
    grid->addWidget(fromEdit_, 1, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("до"), group), 2, 0);
    grid->addWidget(toEdit_, 2, 1, 1, 2);
    grid->addWidget(backButton_, 3, 0);
    grid->addWidget(todayButton_, 3, 1);
    grid->addWidget(forwardButton_, 3, 2);
    grid->addWidget(earlierBox_, 4, 0, 1, 3);
    return group;
}

QWidget* PeriodWindow::BuildProgressPanel() {
    auto* panel = new QWidget(this);
    progressText_ = new QLabel(panel);
    progressText_->setObjectName(QStringLiteral("ProgressText"));
    progressText_->setWordWrap(true);
    progress_ = new QProgressBar(panel);
    progress_->setObjectName(QStringLiteral("Progress"));
    stopButton_ = new QPushButton(QStringLiteral("стоп"), panel);
    stopButton_->setObjectName(QStringLiteral("StopButton"));
    auto* grid = new QGridLayout(panel);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(progressText_, 0, 0, 1, 2);
    grid->addWidget(progress_, 1, 0);
    grid->addWidget(stopButton_, 1, 1);
    for (QWidget* w : {static_cast<QWidget*>(progressText_), static_cast<QWidget*>(progress_),
                       static_cast<QWidget*>(stopButton_)})
        w->setVisible(false);
    return panel;
}

void PeriodWindow::ShowModeless() {
    if (!shownOnce_) {
        shownOnce_ = true;
        const int selected = s_.Data.SelChannel;
        motors_ = {selected >= 1 && selected <= channels::kChannelCount ? selected : 1};
    }
    const bool shown = isVisible();
    show();
    raise();
    activateWindow();
    if (shown)
        return;
    // Motors may have been renamed since.
    ShowPicks();
    const int row = motorBox_->currentIndex();
    SectionChange();
    motorBox_->setCurrentIndex(std::max(0, row));
    // Laid out now, so that the answers are asked as wide as the chart is.
    layout()->activate();
    chart_->replot();
    s_.Guard([&] { Requery(); });
}

void PeriodWindow::ShowDay(common::TDateTime day, int channel) {
    shownOnce_ = true;
    auto at = std::find(motors_.begin(), motors_.end(), channel);
    if (at == motors_.end() && motors_.size() < kMostMotors)
        at = motors_.insert(motors_.end(), channel);
    if (at != motors_.end())
        linesMotor_ = static_cast<int>(at - motors_.begin());
    ShowPicks();
    span_ = PeriodEndingOn(PeriodKind::Day, day);
    ShowSpan();
    if (isVisible())
        s_.Guard([&] { Requery(); });
    ShowModeless();
}

void PeriodWindow::SetMotors(const std::vector<int>& channels) {
    motors_.clear();
    for (const int n : channels)
        if (n >= 1 && n <= channels::kChannelCount && motors_.size() < kMostMotors &&
            std::find(motors_.begin(), motors_.end(), n) == motors_.end())
            motors_.push_back(n);
    linesMotor_ = 0;
    shownOnce_ = true;
    ShowPicks();
    if (isVisible())
        Requery();
}

void PeriodWindow::SetPeriod(const PeriodSpan& span) {
    if (!(span.To > span.From))
        return;
    span_ = span;
    ShowSpan();
    if (isVisible())
        Requery();
}

void PeriodWindow::ShowRange(common::TDateTime from, common::TDateTime to) {
    settingView_ = true;
    chart_->xAxis->setRange(from, to);
    settingView_ = false;
    QueryView();
    chart_->replot();
}

QString PeriodWindow::MotorText(int channel) const {
    const QString number = QString::number(channel);
    const QString name = QString::fromStdString(s_.Data.Ustavki[channel].Name.Utf8()).trimmed();
    return name.isEmpty() || name == number ? number : number + QStringLiteral(". ") + name;
}

void PeriodWindow::ShowPicks() {
    const QSignalBlocker blocker(linesBox_);
    motorList_->clear();
    linesBox_->clear();
    for (std::size_t k = 0; k < motors_.size(); ++k) {
        QPixmap swatch(12, 12);
        swatch.fill(PeriodTrendChart::MotorColour(static_cast<int>(k)));
        const QString text = MotorText(motors_[k]);
        motorList_->addItem(new QListWidgetItem(QIcon(swatch), text));
        linesBox_->addItem(QIcon(swatch), text);
    }
    linesMotor_ = std::clamp(linesMotor_, 0, std::max(0, static_cast<int>(motors_.size()) - 1));
    linesBox_->setCurrentIndex(linesMotor_);
    addButton_->setEnabled(motors_.size() < kMostMotors);
    removeButton_->setEnabled(!motors_.empty());
}

void PeriodWindow::ShowSpan() {
    const QSignalBlocker kindBlocker(kindBox_);
    const QSignalBlocker fromBlocker(fromEdit_);
    const QSignalBlocker toBlocker(toEdit_);
    kindBox_->setCurrentIndex(static_cast<int>(span_.Kind));
    fromEdit_->setDateTime(QtTimeOf(span_.From));
    toEdit_->setDateTime(QtTimeOf(span_.To));
    earlierBox_->setText(EarlierText(span_.Kind));
    const auto text = [&](common::TDateTime t, bool withTime) {
        std::string out = common::DateText(t, s_.Regional);
        if (withTime)
            out += " " + common::FormatTime(t, "H:mm");
        return QString::fromStdString(out);
    };
    const bool days = span_.Kind != PeriodKind::Range;
    const QString last = text(days ? span_.To - 1 : span_.To, !days);
    chart_->SetTitle(span_.Kind == PeriodKind::Day ? last
                                                   : text(span_.From, !days) + QStringLiteral(" – ") + last);
}

std::size_t PeriodWindow::PointsWide() const {
    const int wide = chart_->axisRect()->width();
    return static_cast<std::size_t>(wide > 100 ? wide : std::max(300, chart_->width() - 70));
}

double PeriodWindow::EarlierShift() const {
    return span_.From - Stepped(span_, -1).From;
}

void PeriodWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    // Minimized, it still follows; closed, it reads nothing more and holds no reader's memory.
    if (event->spontaneous())
        return;
    if (stop_)
        *stop_ = true;
    ++generation_;
    worker_->Release();
}

void PeriodWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    resizeTimer_.start();
}

// The operator picked a section: its motors to pick from.
void PeriodWindow::SectionChange() {
    motorBox_->clear();
    const int first = channels::FirstChannelOfSection(sectionBox_->currentIndex() + 1);
    for (int n = first; n < first + channels::kChannelsPerSection; ++n)
        motorBox_->addItem(MotorText(n), n);
}

// The operator pressed "добавить".
void PeriodWindow::AddClick() {
    s_.Guard([&] {
        const int channel = motorBox_->currentData().toInt();
        if (motors_.size() >= kMostMotors ||
            std::find(motors_.begin(), motors_.end(), channel) != motors_.end())
            return;
        motors_.push_back(channel);
        ShowPicks();
        Requery();
    });
}

// The operator pressed "убрать": the motor picked in the list, else the last one.
void PeriodWindow::RemoveClick() {
    s_.Guard([&] {
        if (motors_.empty())
            return;
        const int row = motorList_->currentRow();
        motors_.erase(motors_.begin() + (row >= 0 && row < static_cast<int>(motors_.size())
                                             ? row
                                             : static_cast<int>(motors_.size()) - 1));
        ShowPicks();
        Requery();
    });
}

// The operator picked the motor whose thresholds are drawn.
void PeriodWindow::LinesChange() {
    linesMotor_ = std::max(0, linesBox_->currentIndex());
    Redraw();
}

// The operator picked сутки, неделя, месяц or диапазон.
void PeriodWindow::KindChange() {
    s_.Guard([&] {
        const auto kind = static_cast<PeriodKind>(kindBox_->currentIndex());
        if (kind == PeriodKind::Range) {
            // The same period, now a range to edit and step by its length.
            span_.Kind = kind;
            ShowSpan();
            return;
        }
        span_ = PeriodEndingOn(kind, common::DatePart(span_.To - 1.0 / kMsPerDay));
        ShowSpan();
        Requery();
    });
}

// The operator typed or picked a start or an end: a range of his own.
void PeriodWindow::RangeEdited() {
    s_.Guard([&] {
        const PeriodSpan edited{PeriodKind::Range, TimeOfQt(fromEdit_->dateTime()),
                                TimeOfQt(toEdit_->dateTime())};
        if (std::abs(edited.From - span_.From) < 1e-9 && std::abs(edited.To - span_.To) < 1e-9)
            return;
        if (!(edited.To > edited.From)) {
            ShowSpan();
            return;
        }
        span_ = edited;
        ShowSpan();
        Requery();
    });
}

// The operator pressed "◄".
void PeriodWindow::BackClick() {
    s_.Guard([&] {
        span_ = Stepped(span_, -1);
        ShowSpan();
        Requery();
    });
}

// The operator pressed "►".
void PeriodWindow::ForwardClick() {
    s_.Guard([&] {
        span_ = Stepped(span_, 1);
        ShowSpan();
        Requery();
    });
}

// The operator pressed "сегодня": the period ending today, a range ending now.
void PeriodWindow::TodayClick() {
    s_.Guard([&] {
        if (span_.Kind == PeriodKind::Range) {
            const double length = span_.To - span_.From;
            const double end = std::ceil(Now() * 1440) / 1440;
            span_ = {PeriodKind::Range, end - length, end};
        } else {
            span_ = PeriodEndingOn(span_.Kind, s_.Clock.Today());
        }
        ShowSpan();
        Requery();
    });
}

// The operator ticked or cleared the earlier period's overlay.
void PeriodWindow::EarlierClick() {
    s_.Guard([&] {
        if (!earlierBox_->isChecked() || motors_.empty()) {
            plot_.Drop(PlotPart::WholeEarlier);
            plot_.Drop(PlotPart::DetailEarlier);
            Redraw();
            return;
        }
        const PeriodSpan earlier = Stepped(span_, -1);
        std::vector<Query> queries{{PlotPart::WholeEarlier, {earlier.From, earlier.To, motors_, askedWide_}}};
        if (detailAsked_) {
            history::SeriesRequest request = *detailAsked_;
            request.From -= EarlierShift();
            request.To -= EarlierShift();
            queries.push_back({PlotPart::DetailEarlier, request});
        }
        Post(std::move(queries), false, false);
    });
}

// The operator pressed "Экспорт…": the range in view, by minutes or every record, in the form picked.
void PeriodWindow::ExportClick() {
    const QString minuteSheet = QStringLiteral("По минутам, для таблиц Excel/Calc (*.csv)");
    const QString minutePlain = QStringLiteral("По минутам, CSV (*.csv)");
    const QString recordSheet = QStringLiteral("Все записи, для таблиц Excel/Calc (*.csv)");
    const QString recordPlain = QStringLiteral("Все записи, CSV (*.csv)");
    QString chosen = minuteSheet;
    const QCPRange view = chart_->xAxis->range();
    const QString name =
        QStringLiteral("тренд ") +
        QString::fromStdString(common::ArchiveDateText(std::max(span_.From, view.lower))) +
        QStringLiteral("-") +
        QString::fromStdString(common::ArchiveDateText(std::min(span_.To, view.upper) - 1e-9));
    const QString path = AskExportPath(this, QStringLiteral("Экспорт периода"), name,
                                       {minuteSheet, minutePlain, recordSheet, recordPlain}, chosen);
    if (path.isEmpty() || motors_.empty())
        return;
    const bool minutes = chosen == minuteSheet || chosen == minutePlain;
    const bool sheet = chosen == minuteSheet || chosen == recordSheet;
    ExportShown(path, minutes ? history::CsvRows::PerMinute : history::CsvRows::PerRecord,
                sheet ? archive::CsvForm::Spreadsheet : archive::CsvForm::Plain);
}

// The operator pressed "стоп": the reading and the export stop where they are.
void PeriodWindow::StopClick() {
    for (auto* stop : {&stop_, &exportStop_})
        if (*stop) {
            **stop = true;
            *stop = std::make_shared<std::atomic<bool>>(false);
        }
    EndProgress();
}

} // namespace registrator::ui
