#include "ui/archive/ArchiveViewerWindow.h"

#include "archive/RecordFiles.h"
#include "common/Cp1251.h"
#include "common/DateTime.h"
#include "common/NumberText.h"
#include "monitor/DaySummary.h"
#include "ui/archive/ArhivGridModel.h"
#include "ui/archive/DayExport.h"
#include "ui/archive/DaySummaryPanel.h"
#include "ui/widgets/DesignLook.h"
#include "ui/widgets/MotorTrendChart.h"
#include "ui/widgets/StringGrid.h"

#include <QDateEdit>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <utility>

namespace registrator::ui {

namespace {

const QColor kTabGreen(0, 128, 0);
const QColor kPanelGreen(192, 220, 192);
const QColor kPaleYellow(255, 255, 204);
const QColor kLime(0, 255, 0);
constexpr int kBandHeight = 151;
constexpr int kLeftColumnWidth = 330;

const char* const kMotorTabs[] = {"  Рыхлит.1", "Фартук 1",    "Рыхлит. 2",    "Фартук 2",
                                  "Ковейер T1", "ДПП",         "ДГП",          "Смеситель",
                                  "ДСП",        "Конвейер Т9", "Конвейер Т10", "Конвейер Т11"};

QLabel* Plate(QWidget* parent, const QString& text, const QColor& colour, int pixels) {
    auto* plate = new QLabel(text, parent);
    plate->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    plate->setAlignment(Qt::AlignCenter);
    plate->setFont(PixelFont(pixels, true));
    plate->setAutoFillBackground(true);
    QPalette palette = plate->palette();
    palette.setColor(QPalette::Window, Qt::black);
    palette.setColor(QPalette::WindowText, colour);
    plate->setPalette(palette);
    return plate;
}

// The design's large digits where the value fits the plate, smaller ones where it does not: a plate
// must never show "34567,1" for 1234567,125.
void SetPlateText(QLabel* plate, const QString& text) {
    plate->setText(text);
    QFont font = plate->font();
    font.setPixelSize(24);
    const int room = plate->contentsRect().width() - 4;
    while (font.pixelSize() > 8 && QFontMetrics(font).horizontalAdvance(text) > room)
        font.setPixelSize(font.pixelSize() - 1);
    plate->setFont(font);
}

QString NameOf(const archive::TUstRec& rec) {
    return QString::fromStdString(common::Cp1251ToUtf8(archive::NameBytes(rec)));
}

// "1 запись", "3 записи", "86 400 записей".
QString RecordsText(std::size_t count) {
    QString digits = QString::number(count);
    for (qsizetype i = digits.size() - 3; i > 0; i -= 3)
        digits.insert(i, QChar(0x00A0));
    const std::size_t lastTwo = count % 100;
    const std::size_t last = count % 10;
    const char* word = "записей";
    if (lastTwo < 11 || lastTwo > 14) {
        if (last == 1)
            word = "запись";
        else if (last >= 2 && last <= 4)
            word = "записи";
    }
    return digits + QChar(0x00A0) + QString::fromUtf8(word);
}

} // namespace

ArchiveViewerWindow::ArchiveViewerWindow(Services services, QWidget* parent)
    : QWidget(parent, Qt::Window), s_(std::move(services)) {
    setObjectName(QStringLiteral("F_arhiv"));
    setWindowTitle(QStringLiteral("АРХИВ"));
    resize(1036, 641);

    tabControl1_ = new QTabBar(this);
    tabControl1_->setObjectName(QStringLiteral("TabControl1"));
    tabControl1_->setFont(PixelFont(16, true));
    tabControl1_->setExpanding(false);
    tabControl1_->setFixedHeight(25);
    for (int s = 1; s <= channels::kSectionCount; ++s) {
        const std::string_view name = channels::SectionName(s);
        tabControl1_->addTab(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
        tabControl1_->setTabTextColor(s - 1, kTabGreen);
    }

    auto* page = new QFrame(this);
    page->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
    tabControl2_ = MakeDesignTabBar(PixelFont(11, false), page);
    tabControl2_->setObjectName(QStringLiteral("TabControl2"));
    for (int k = 0; k < channels::kChannelsPerSection; ++k) {
        tabControl2_->addTab(QString::fromUtf8(kMotorTabs[k]));
        tabControl2_->setTabTextColor(k, kTabGreen);
    }

    BuildGrid();
    chart1_ = new MotorTrendChart(s_.Regional, MotorTrendChart::Look::Archive);
    chart1_->setObjectName(QStringLiteral("Chart1"));
    summary_ = new DaySummaryPanel(s_.Regional, page);
    summary_->setFixedWidth(kLeftColumnWidth);
    connect(summary_, &DaySummaryPanel::episodeChosen, this, &ArchiveViewerWindow::ShowEpisode);

    auto* band = new QHBoxLayout;
    band->setSpacing(6);
    band->addWidget(BuildSettingsPanel());
    band->addWidget(stringGrid1_);
    band->addWidget(BuildButtonPanel());
    band->addStretch(1);
    auto* lower = new QHBoxLayout;
    lower->setSpacing(6);
    lower->addWidget(summary_);
    lower->addWidget(chart1_, 1);
    auto* pageLayout = new QVBoxLayout(page);
    pageLayout->setContentsMargins(4, 2, 4, 4);
    pageLayout->setSpacing(4);
    pageLayout->addWidget(tabControl2_);
    pageLayout->addLayout(band);
    pageLayout->addLayout(lower, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(0);
    layout->addWidget(tabControl1_);
    layout->addWidget(page, 1);

    const common::CalendarDate today = common::DecodeDate(s_.Clock.Today());
    dateTimePicker1_->setDate(QDate(today.Year, today.Month, today.Day));

    // Connected only now: building the tabs selects the first ones, which is no operator's choice.
    connect(tabControl1_, &QTabBar::currentChanged, this, &ArchiveViewerWindow::TabControl1Change);
    connect(tabControl2_, &QTabBar::currentChanged, this, &ArchiveViewerWindow::TabControl2Change);
}

ArchiveViewerWindow::~ArchiveViewerWindow() = default;

QWidget* ArchiveViewerWindow::BuildSettingsPanel() {
    auto* panel = new QFrame;
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFixedSize(kLeftColumnWidth, kBandHeight);
    panel->setAutoFillBackground(true);
    QPalette palette = panel->palette();
    palette.setColor(QPalette::Window, kPanelGreen);
    panel->setPalette(palette);
    auto* group = new QGroupBox(QStringLiteral("Уставки"), panel);
    group->setObjectName(QStringLiteral("GroupBox1"));
    group->setGeometry(4, 2, kLeftColumnWidth - 8, kBandHeight - 6);
    const QString captions[] = {QStringLiteral("Ток номинальный (А)"), QStringLiteral("Ток критический (А)"),
                                QStringLiteral("Мощность (кВт)")};
    const QColor colours[] = {Qt::yellow, Qt::red, kLime};
    const char* names[] = {"Lb_tok_nom", "Lb_tok_max", "Lb_moshn"};
    QLabel* values[3] = {};
    for (int i = 0; i < 3; ++i) {
        const int top = 20 + 41 * i;
        Plate(group, captions[i], colours[i], 13)->setGeometry(8, top, 196, 37);
        values[i] = Plate(group, QStringLiteral("00000"), colours[i], 24);
        values[i]->setObjectName(QString::fromLatin1(names[i]));
        values[i]->setGeometry(208, top, 106, 37);
    }
    lbTokNom_ = values[0];
    lbTokMax_ = values[1];
    lbMoshn_ = values[2];
    return panel;
}

void ArchiveViewerWindow::BuildGrid() {
    gridModel_ = new ArhivGridModel(s_.Archive.ArhivBuf, s_.Regional, this);
    stringGrid1_ = MakeStringGrid(gridModel_, 80);
    QPalette palette = stringGrid1_->palette();
    palette.setColor(QPalette::Base, kPaleYellow);
    stringGrid1_->setPalette(palette);
    stringGrid1_->setFixedSize(2 * 80 + 24, kBandHeight);
}

QWidget* ArchiveViewerWindow::BuildButtonPanel() {
    auto* panel = new QFrame;
    panel->setObjectName(QStringLiteral("Panel2"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setFixedHeight(kBandHeight);
    const auto button = [&](const QString& text, const char* name) {
        auto* b = new QPushButton(text, panel);
        b->setObjectName(QString::fromLatin1(name));
        b->setMinimumSize(80, 28);
        return b;
    };
    bitBtn1_ = button(QStringLiteral("обновить"), "BitBtn1");
    button4_ = button(QStringLiteral("записать"), "Button4");
    exportButton_ = button(QStringLiteral("Экспорт…"), "ExportButton");
    // Until a day with records is shown there is nothing to export but a header.
    exportButton_->setEnabled(false);
    button2_ = button(QStringLiteral("путь"), "Button2");
    button3_ = button(QStringLiteral("закрыть"), "Button3");
    todayButton_ = button(QStringLiteral("сегодня"), "TodayButton");
    periodButton_ = button(QStringLiteral("тренд за период"), "PeriodButton");
    dateTimePicker1_ = new QDateEdit(panel);
    dateTimePicker1_->setObjectName(QStringLiteral("DateTimePicker1"));
    dateTimePicker1_->setCalendarPopup(true);
    dateTimePicker1_->setDisplayFormat(QString::fromStdString(s_.Regional.ShortDateFormat));
    dateTimePicker1_->setMinimumHeight(28);
    shownDay_ = new QLabel(panel);
    shownDay_->setObjectName(QStringLiteral("ShownDay"));

    auto* grid = new QGridLayout(panel);
    grid->setContentsMargins(8, 8, 8, 8);
    grid->addWidget(bitBtn1_, 0, 0);
    grid->addWidget(button4_, 0, 1);
    grid->addWidget(exportButton_, 0, 2);
    grid->addWidget(button2_, 1, 0);
    grid->addWidget(button3_, 1, 1);
    grid->addWidget(todayButton_, 1, 2);
    grid->addWidget(periodButton_, 0, 3);
    grid->addWidget(dateTimePicker1_, 2, 0, 1, 3);
    grid->addWidget(shownDay_, 3, 0, 1, 3);

    connect(bitBtn1_, &QPushButton::clicked, this, &ArchiveViewerWindow::BitBtn1Click);
    connect(button4_, &QPushButton::clicked, this, &ArchiveViewerWindow::Button4Click);
    connect(button2_, &QPushButton::clicked, this, &ArchiveViewerWindow::Button2Click);
    connect(button3_, &QPushButton::clicked, this, &ArchiveViewerWindow::Button3Click);
    connect(exportButton_, &QPushButton::clicked, this, &ArchiveViewerWindow::ExportClick);
    connect(todayButton_, &QPushButton::clicked, this, &ArchiveViewerWindow::TodayClick);
    connect(periodButton_, &QPushButton::clicked, this, &ArchiveViewerWindow::PeriodClick);
    return panel;
}

TrendChart* ArchiveViewerWindow::Chart1() const {
    return chart1_;
}

void ArchiveViewerWindow::ShowModeless() {
    show();
    raise();
    activateWindow();
}

int ArchiveViewerWindow::SelectedChannel() const {
    const int section = tabControl1_->currentIndex() + 1;
    return channels::kChannelsPerSection * (section - 1) + tabControl2_->currentIndex() + 1;
}

void ArchiveViewerWindow::RefreshArhiv() {
    chart1_->ClearSeries();
    // Drawn empty while a reader's message waits.
    chart1_->replot(QCustomPlot::rpQueuedReplot);
    const QDate picked = dateTimePicker1_->date();
    const std::string arhivDate =
        common::ArchiveDateText(common::EncodeDate(picked.year(), picked.month(), picked.day()));
    s_.Archive.ReadArhiv(arhivDate);
    // The rows as loaded, before the snapshot's message can let the table repaint new records under
    // the last day's count.
    gridModel_->Show(std::min<std::size_t>(s_.Archive.ArhivCount, s_.Archive.ArhivBuf.size()),
                     SelectedChannel());
    s_.Archive.ReadUst(arhivDate);
    ShowChannel(SelectedChannel());
}

void ArchiveViewerWindow::ShowWhichDay() {
    const std::string& day = s_.Archive.ArhivDay;
    const std::size_t count = std::min<std::size_t>(s_.Archive.ArhivCount, s_.Archive.ArhivBuf.size());
    shownDay_->setText(day.empty() ? QString()
                                   : QStringLiteral("показан: ") + QString::fromStdString(day) +
                                         QStringLiteral(", ") + RecordsText(count));
    exportButton_->setEnabled(!day.empty() && count > 0);
}

monitor::DayMotors ArchiveViewerWindow::ShownDayMotors() const {
    const std::string& day = s_.Archive.ArhivDay;
    std::array<archive::TUstRec, archive::kUstRecCount> snapshot{};
    std::size_t held = 0;
    if (!day.empty())
        held = archive::ReadSnapshotFile(s_.Archive.SnapshotPath(day), snapshot).Records;
    return monitor::MotorsOfDay(std::span(snapshot.data(), held), s_.Data.Ustavki);
}

void ArchiveViewerWindow::ShowChannel(int channel) {
    if (channel < 1 || channel > channels::kChannelCount)
        return;
    const archive::TUstRec& ust = s_.Archive.UstBuf[static_cast<std::size_t>(channel - 1)];
    const char separator = s_.Regional.DecimalSeparator;
    SetPlateText(lbTokMax_, QString::fromStdString(common::FloatToText(ust.T_Max, separator)));
    SetPlateText(lbTokNom_, QString::fromStdString(common::FloatToText(ust.T_Nom, separator)));
    SetPlateText(lbMoshn_, QString::fromStdString(common::IntToText(ust.Moshn)));
    chart1_->SetTitle(NameOf(ust));

    const std::size_t count = std::min<std::size_t>(s_.Archive.ArhivCount, s_.Archive.ArhivBuf.size());
    gridModel_->Show(count, channel);
    const std::span<const archive::TArhivRec> records(s_.Archive.ArhivBuf.data(), count);
    ShowWhichDay();
    const monitor::DayMotors motors = ShownDayMotors();
    const bool own =
        motors.Source[static_cast<std::size_t>(channel - 1)] == monitor::ThresholdSource::DaySnapshot;
    summary_->Show(monitor::SummarizeMotorDay(records, channel, motors.Motors[channel]),
                   own ? QStringLiteral("Уставки: из снимка дня")
                       : QStringLiteral("Уставки: текущие (снимка дня нет)"));
    std::vector<monitor::RecordingBreak> breaks = monitor::BreaksOfDay(records);
    QVector<QCPRange> bands;
    for (const monitor::RecordingBreak& stop : breaks)
        bands.append(QCPRange(static_cast<double>(stop.Before) + 1, static_cast<double>(stop.After) + 1));
    chart1_->SetGaps(bands);
    gridModel_->SetBreaks(std::move(breaks));
    chart1_->ShowMotor(static_cast<qsizetype>(count), ust.T_Nom, ust.T_Max, [&](qsizetype i) {
        const archive::TArhivRec& rec = records[static_cast<std::size_t>(i)];
        return std::pair<double, double>(rec.Tok[channel - 1], rec.Time);
    });
}

void ArchiveViewerWindow::ShowSectionTabs(int section) {
    if (section < 1 || section > channels::kSectionCount)
        return;
    const int first = channels::FirstChannelOfSection(section);
    for (int k = 0; k < channels::kChannelsPerSection; ++k)
        tabControl2_->setTabText(
            k, LiteralCaption(NameOf(s_.Archive.UstBuf[static_cast<std::size_t>(first + k - 1)])));
    setWindowTitle(tabControl1_->tabText(section - 1));
}

bool ArchiveViewerWindow::ExportShownDay(const QString& path, bool allChannels, archive::CsvForm form) {
    const std::size_t count = std::min<std::size_t>(s_.Archive.ArhivCount, s_.Archive.ArhivBuf.size());
    const std::vector<int> channels =
        allChannels ? archive::AllChannels() : std::vector<int>{gridModel_->Channel()};
    // The spreadsheet form names its columns after the motors of that day.
    const monitor::DayMotors motors = ShownDayMotors();
    std::vector<std::string> names;
    for (int n : channels)
        names.push_back(motors.Motors[n].Name.Utf8());
    if (WriteDayExport(path, std::span(s_.Archive.ArhivBuf.data(), count), channels, form, names))
        return true;
    s_.Messages.Show("Не удалось записать файл " + path.toStdString());
    return false;
}

void ArchiveViewerWindow::ShowEpisode(int index) {
    const auto& episodes = summary_->Summary().Overloads;
    if (index < 0 || static_cast<std::size_t>(index) >= episodes.size())
        return;
    const monitor::OverloadEpisode& episode = episodes[static_cast<std::size_t>(index)];
    // Keys are record numbers from 1; some of the motor's day on each side, for context.
    const double first = static_cast<double>(episode.FirstRecord) + 1;
    const double last = static_cast<double>(episode.LastRecord) + 1;
    const double margin = std::max(10.0, (last - first) * 0.5);
    chart1_->xAxis->setRange(first - margin, last + margin);
    chart1_->replot();
    stringGrid1_->scrollTo(gridModel_->index(static_cast<int>(episode.FirstRecord), 0),
                           QAbstractItemView::PositionAtTop);
    stringGrid1_->selectRow(static_cast<int>(episode.FirstRecord));
}

// The operator picked another section.
void ArchiveViewerWindow::TabControl1Change() {
    s_.Guard([&] {
        ShowSectionTabs(tabControl1_->currentIndex() + 1);
        RefreshArhiv();
    });
}

// The operator picked another motor.
void ArchiveViewerWindow::TabControl2Change() {
    s_.Guard([&] { RefreshArhiv(); });
}

// The operator pressed "обновить".
void ArchiveViewerWindow::BitBtn1Click() {
    s_.Guard([&] { RefreshArhiv(); });
}

// The operator pressed "записать": today's snapshot and one record, the view left as it is.
void ArchiveViewerWindow::Button4Click() {
    s_.Guard([&] {
        s_.Archive.WriteUst(s_.Data.Ustavki);
        s_.Archive.WriteArhiv(s_.Data);
    });
}

// The operator pressed "путь".
void ArchiveViewerWindow::Button2Click() {
    emit folderWindowRequested();
}

// The operator pressed "закрыть".
void ArchiveViewerWindow::Button3Click() {
    hide();
}

// The operator pressed "сегодня": after midnight the picker still holds the day the program started.
void ArchiveViewerWindow::TodayClick() {
    s_.Guard([&] {
        const common::CalendarDate today = common::DecodeDate(s_.Clock.Today());
        dateTimePicker1_->setDate(QDate(today.Year, today.Month, today.Day));
        RefreshArhiv();
    });
}

// The operator pressed "тренд за период": the shown day (the picked one before any is shown) and motor.
void ArchiveViewerWindow::PeriodClick() {
    const std::optional<common::TDateTime> shown = common::ArchiveDateValue(s_.Archive.ArhivDay);
    const QDate picked = dateTimePicker1_->date();
    emit periodRequested(shown ? *shown : common::EncodeDate(picked.year(), picked.month(), picked.day()),
                         SelectedChannel());
}

// The operator pressed "Экспорт…": the shown day, in the form and scope the file type names.
void ArchiveViewerWindow::ExportClick() {
    // Named after the day the tables hold, which a failed refresh leaves as it was.
    const std::optional<DayExportChoice> choice = AskDayExport(this, s_.Archive.ArhivDay);
    if (choice)
        s_.Guard([&] { ExportShownDay(choice->Path, choice->AllChannels, choice->Form); });
}

} // namespace registrator::ui
