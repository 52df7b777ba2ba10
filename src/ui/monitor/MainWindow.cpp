#include "ui/monitor/MainWindow.h"

#include "common/Utf8Path.h"
#include "monitor/ArchiveStatusLine.h"
#include "monitor/MotorCaptions.h"
#include "ui/events/AlarmLine.h"
#include "ui/monitor/MimicWidgets.h"
#include "ui/widgets/DesignLook.h"

#include <QAction>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>
#include <algorithm>
#include <filesystem>

namespace registrator::ui {

namespace {

constexpr int kFrameLeft = 4;
constexpr int kFrameWidth = 977;
constexpr std::array<int, channels::kSectionCount> kFrameTops = {4, 120, 240, 356, 476, 596};
constexpr int kPanelLeft = 8;
constexpr int kPanelTop = 24;
constexpr int kPanelPitch = 80;
constexpr int kPanelWidth = 81;
constexpr int kPanelHeight = 65;
constexpr int kStripTop = 88;
constexpr int kLabelWidth = 31;
constexpr int kLabelHeight = 20;

const QColor kSkyBlue(166, 202, 240);

// 15-pixel type at most, taken as the whole line cell so the lines sit 16 pixels apart; smaller where
// the system's font is too wide for the longest equipment name to fit its panel.
QFont CaptionFont() {
    QFont font = PixelFont(15, false);
    const auto fits = [](const QFont& candidate) {
        const QFontMetrics metrics(candidate);
        if (metrics.height() > 15)
            return false;
        for (int n = 1; n <= channels::kChannelCount; ++n) {
            const monitor::MotorCaption& caption = monitor::MotorCaptionOf(n);
            for (int line = 0; line < caption.LineCount; ++line) {
                const std::string_view utf8 = caption.Lines[line];
                const QString text = QString::fromUtf8(utf8.data(), static_cast<int>(utf8.size()));
                if (metrics.horizontalAdvance(text) > kPanelWidth - 2)
                    return false;
            }
        }
        return true;
    };
    while (font.pixelSize() > 8 && !fits(font))
        font.setPixelSize(font.pixelSize() - 1);
    return font;
}

} // namespace

QColor PanelColour(monitor::PanelState state) {
    return QColor::fromRgb(static_cast<QRgb>(monitor::PanelRgb(state)));
}

MainWindow::MainWindow(service::Recorder& recorder, service::HandlerGuard& guard, const QString& caption)
    : recorder_(recorder), guard_(guard) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(caption);

    auto* menu = menuBar();
    auto addItem = [&](const char* name, const QString& text, void (MainWindow::*slot)()) {
        QAction* action = menu->addAction(text);
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, slot);
    };
    addItem("N1", QStringLiteral("настройка"), &MainWindow::N1Click);
    addItem("N2", QStringLiteral("расчёт"), &MainWindow::N2Click);
    addItem("N3", QStringLiteral("архив"), &MainWindow::N3Click);
    addItem("N4", QStringLiteral("журнал событий"), &MainWindow::N4Click);
    addItem("N5", QStringLiteral("тренд за период"), &MainWindow::N5Click);
    addItem("N6", QStringLiteral("состояние двигателей"), &MainWindow::N6Click);
    addItem("N7", QStringLiteral("отчёты"), &MainWindow::N7Click);

    auto* panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    setCentralWidget(panel);
    BuildMimic(panel);
    panel->setMinimumSize(kFrameLeft + kFrameWidth + 4, kFrameTops.back() + 123 + 4);
    BuildArchiveStrip();
    // A bar of its own between the panel and the status strip, shown only while an alarm waits.
    auto* alarmBar = new QToolBar(this);
    alarmBar->setObjectName(QStringLiteral("AlarmBar"));
    alarmBar->setMovable(false);
    alarmBar->setFloatable(false);
    alarmBar->toggleViewAction()->setVisible(false);
    alarmLine_ = new AlarmLine(alarmBar);
    alarmBar->addWidget(alarmLine_)->setVisible(true);
    addToolBar(Qt::BottomToolBarArea, alarmBar);
    alarmBar->hide();
    alarmBar_ = alarmBar;
    connect(alarmLine_, &AlarmLine::journalRequested, this, &MainWindow::journalRequested);
    // 999 x 780 outside, as designed: the client area a Windows frame leaves of it, and the archive
    // line below it.
    resize(qMax(991, panel->minimumWidth()),
           qMax(746, panel->minimumHeight() + menu->sizeHint().height()) + statusBar()->sizeHint().height());

    connect(&recorder_, &service::Recorder::scanned, this, &MainWindow::RefreshDisplay);
    connect(&recorder_, &service::Recorder::historyStepped, this, &MainWindow::RefreshArchiveStatus);
}

MainWindow::~MainWindow() = default;

void MainWindow::BuildMimic(QWidget* panel) {
    const QColor offColour = PanelColour(monitor::PanelState::Off);
    const QFont captionFont = CaptionFont();
    for (int s = 1; s <= channels::kSectionCount; ++s) {
        auto* frame = new SectionFrame(s,
                                       QString::fromUtf8(channels::SectionName(s).data(),
                                                         static_cast<int>(channels::SectionName(s).size())),
                                       panel);
        frame->setObjectName(QStringLiteral("GroupBox%1").arg(s));
        frame->setFont(PixelFont(16, true));
        frame->setGeometry(kFrameLeft, kFrameTops[s - 1], kFrameWidth, s == 1 ? 121 : 123);
        connect(frame, &SectionFrame::clicked, this, &MainWindow::GroupBox1Click);
        frames_[s - 1] = frame;

        auto* strip = new InertLabel(frame);
        strip->setObjectName(QStringLiteral("Strip%1").arg(s));
        strip->setGeometry(kPanelLeft, kStripTop, 961, 25);
        strip->setAutoFillBackground(true);
        QPalette stripPalette = strip->palette();
        stripPalette.setColor(QPalette::Window, kSkyBlue);
        strip->setPalette(stripPalette);

        for (int i = 0; i < channels::kChannelsPerSection; ++i) {
            const int n = channels::FirstChannelOfSection(s) + i;
            auto* motor = new MotorPanel(n, frame);
            motor->setObjectName(QStringLiteral("Pan%1").arg(n));
            motor->setGeometry(kPanelLeft + kPanelPitch * i, kPanelTop, kPanelWidth, kPanelHeight);
            const QColor initial = n == 1 ? offColour : PanelColour(monitor::PanelState::Running);
            motor->SetColour(initial);
            shownColours_[n - 1] = initial;
            connect(motor, &MotorPanel::clicked, this, &MainWindow::Pan1Click);
            panels_[n - 1] = motor;

            const monitor::MotorCaption& caption = monitor::MotorCaptionOf(n);
            for (int line = 0; line < caption.LineCount; ++line) {
                auto* text = new InertLabel(motor);
                const std::string_view utf8 = caption.Lines[line];
                text->setText(QString::fromUtf8(utf8.data(), static_cast<int>(utf8.size())));
                text->setFont(captionFont);
                text->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
                // Only as wide as the text itself: beside a short name a click reaches the panel.
                const int width =
                    std::min(kPanelWidth - 2, text->fontMetrics().horizontalAdvance(text->text()) + 2);
                text->setGeometry((kPanelWidth - width) / 2, 8 + 16 * line, width, 17);
            }

            auto* label = new InertLabel(QStringLiteral("000"), strip);
            label->setObjectName(QStringLiteral("Lb_Tok%1").arg(n));
            label->setProperty("Tag", n);
            label->setFont(PixelFont(16, true));
            QPalette labelPalette = label->palette();
            labelPalette.setColor(QPalette::WindowText, Qt::black);
            label->setPalette(labelPalette);
            label->setGeometry(kPanelPitch * i + 25, 2, kLabelWidth, kLabelHeight);
            labels_[n - 1] = label;
        }
    }
}

void MainWindow::BuildArchiveStrip() {
    std::error_code error;
    const std::filesystem::path absolute =
        std::filesystem::absolute(common::PathFromUtf8(recorder_.Archive().Folder()), error);
    archiveFolderShown_ =
        error ? recorder_.Archive().Folder() : common::Utf8FromPath(absolute.lexically_normal());

    QStatusBar* strip = statusBar();
    strip->setObjectName(QStringLiteral("ArchiveStatus"));
    strip->setSizeGripEnabled(false);
    archiveInfo_ = new QLabel(strip);
    archiveInfo_->setObjectName(QStringLiteral("ArchiveInfo"));
    archiveWarning_ = new QLabel(strip);
    archiveWarning_->setObjectName(QStringLiteral("ArchiveWarning"));
    QPalette warningPalette = archiveWarning_->palette();
    warningPalette.setColor(QPalette::WindowText, QColor(200, 0, 0));
    archiveWarning_->setPalette(warningPalette);
    QFont bold = archiveWarning_->font();
    bold.setBold(true);
    archiveWarning_->setFont(bold);
    strip->addWidget(archiveInfo_);
    strip->addWidget(archiveWarning_, 1);
    RefreshArchiveStatus();
    // Fixed sizes: a label whose size may change asks the whole strip to lay itself out again at
    // every slow tick, which costs far more than the append it reports on.
    const int height = archiveInfo_->sizeHint().height();
    archiveInfo_->setFixedSize(
        archiveInfo_->fontMetrics().horizontalAdvance(archiveInfo_->text()) +
            archiveInfo_->fontMetrics().horizontalAdvance(QStringLiteral("   записей за сегодня: 000000")),
        height);
    archiveWarning_->setFixedHeight(height);
}

void MainWindow::RefreshArchiveStatus() {
    const monitor::ArchiveStatusLine line = monitor::DescribeArchive(
        recorder_.Archive().Status(), recorder_.Archive().Snapshot(), archiveFolderShown_);
    const QString info = QString::fromStdString(line.Info);
    const QString warning = QString::fromStdString(line.Warning);
    if (archiveInfo_->text() != info)
        archiveInfo_->setText(info);
    if (archiveWarning_->text() != warning)
        archiveWarning_->setText(warning);
}

void MainWindow::ShowServiceProblem(const QString& text) {
    if (!webWarning_) {
        webWarning_ = new QLabel(statusBar());
        webWarning_->setObjectName(QStringLiteral("WebWarning"));
        webWarning_->setPalette(archiveWarning_->palette());
        webWarning_->setFont(archiveWarning_->font());
        statusBar()->addPermanentWidget(webWarning_);
    }
    // The web view and the Modbus server may both have failed to start.
    webWarning_->setText(webWarning_->text().isEmpty() ? text
                                                       : webWarning_->text() + QStringLiteral("; ") + text);
}

void MainWindow::ShowBrokerLine(const QString& text) {
    if (!brokerLine_) {
        brokerLine_ = new QLabel(statusBar());
        brokerLine_->setObjectName(QStringLiteral("BrokerLine"));
        statusBar()->addPermanentWidget(brokerLine_);
    }
    brokerLine_->setText(text);
}

void MainWindow::RefreshDisplay() {
    const auto& data = recorder_.Data();
    for (int n = 1; n <= channels::kChannelCount; ++n) {
        const double value = data.Current(n).Value;
        const auto i = static_cast<std::size_t>(n - 1);
        if (!valueShown_[i] || shownValues_[i] != value) {
            QLabel* label = labels_[i];
            label->setText(QString::fromStdString(monitor::CurrentLabelText(value)));
            // Grows to the right for long numbers, as the design's auto-sized label does.
            label->resize(qMax(kLabelWidth, label->sizeHint().width()), kLabelHeight);
            shownValues_[i] = value;
            valueShown_[i] = true;
        }
    }
    for (int n = 1; n <= channels::kChannelCount; ++n) {
        const auto i = static_cast<std::size_t>(n - 1);
        const monitor::PanelState state = monitor::ClassifyReading(data.Current(n).Value, data.Ustavki[n]);
        if (state == monitor::PanelState::Unchanged)
            continue;
        const QColor colour = PanelColour(state);
        if (colour != shownColours_[i]) {
            panels_[i]->SetColour(colour);
            shownColours_[i] = colour;
        }
    }
    emit displayRefreshed();
}

void MainWindow::SelectChannel(int channel) {
    emit channelFieldsRequested(channel);
    recorder_.Data().SelChannel = static_cast<std::uint8_t>(channel);
}

void MainWindow::Pan1Click(int tag) {
    guard_([&] {
        emit calibrationRequested();
        SelectChannel(static_cast<std::uint8_t>(tag));
    });
}

void MainWindow::GroupBox1Click(int tag) {
    guard_([&] {
        recorder_.Data().SelSection = static_cast<std::uint8_t>(tag);
        emit sectionRequested(tag);
    });
}

void MainWindow::N1Click() {
    guard_([&] { emit scanTimingRequested(); });
}

void MainWindow::N2Click() {
    guard_([&] { emit coefficientCalculationRequested(); });
}

void MainWindow::N3Click() {
    guard_([&] { emit archiveViewerRequested(); });
}

void MainWindow::N4Click() {
    guard_([&] { emit journalRequested(); });
}

void MainWindow::N5Click() {
    guard_([&] { emit periodTrendRequested(); });
}

// The operator chose "состояние двигателей".
void MainWindow::N6Click() {
    guard_([&] { emit healthRequested(); });
}

// The operator chose "отчёты".
void MainWindow::N7Click() {
    guard_([&] { emit reportsRequested(); });
}

void MainWindow::ShowAlarm(const QString& line, const QString& whole, int more,
                           const QString& silencedUntil) {
    alarmLine_->Show(line, whole, more, silencedUntil);
    alarmBar_->setVisible(!line.isEmpty());
}

void MainWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    emit closing();
}

} // namespace registrator::ui
