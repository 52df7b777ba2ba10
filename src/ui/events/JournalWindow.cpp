#include "ui/events/JournalWindow.h"

#include "channels/ChannelData.h"
#include "common/DateTime.h"
#include "events/ActiveAlarms.h"
#include "service/recorder/Station.h"

#include <QComboBox>
#include <QDateEdit>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace registrator::ui {

namespace {

constexpr int kKindRole = Qt::UserRole;
constexpr int kChannelRole = Qt::UserRole + 1;
constexpr int kWaitingRole = Qt::UserRole + 2; // not acknowledged yet

QString Utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<int>(text.size()));
}

QDate DateOf(common::TDateTime day) {
    const common::CalendarDate date = common::DecodeDate(day);
    return QDate(date.Year, date.Month, date.Day);
}

common::TDateTime DayOf(const QDate& date) {
    return common::EncodeDate(date.year(), date.month(), date.day());
}

QString MotorText(const channels::ChannelData& data, int channel) {
    return QString::number(channel) + QStringLiteral(" — ") +
           QString::fromStdString(events::MotorName(data.Ustavki, channel));
}

} // namespace

JournalWindow::JournalWindow(service::Station& station, QWidget* parent)
    : QWidget(parent), station_(station), model_(this), filter_(this) {
    setObjectName(QStringLiteral("F_Journal"));
    setWindowTitle(QStringLiteral("журнал событий"));
    resize(1260, 680);
    auto* layout = new QVBoxLayout(this);

    auto* alarmsBox = new QGroupBox(QStringLiteral("действующие тревоги"), this);
    auto* alarmsLayout = new QHBoxLayout(alarmsBox);
    alarms_ = new QTreeWidget(alarmsBox);
    alarms_->setObjectName(QStringLiteral("AlarmList"));
    alarms_->setRootIsDecorated(false);
    alarms_->setHeaderLabels({QStringLiteral("с"), QStringLiteral("тревога"), QStringLiteral("двигатель"),
                              QStringLiteral("состояние"), QStringLiteral("квитирована")});
    alarms_->setMaximumHeight(150);
    alarms_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    alarmsLayout->addWidget(alarms_, 1);
    auto* buttons = new QVBoxLayout;
    acknowledge_ = new QPushButton(QStringLiteral("квитировать"), alarmsBox);
    acknowledgeAll_ = new QPushButton(QStringLiteral("квитировать все"), alarmsBox);
    buttons->addWidget(acknowledge_);
    buttons->addWidget(acknowledgeAll_);
    buttons->addStretch();
    alarmsLayout->addLayout(buttons);
    layout->addWidget(alarmsBox);

    auto* filters = new QHBoxLayout;
    day_ = new QDateEdit(this);
    day_->setCalendarPopup(true);
    day_->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    section_ = new QComboBox(this);
    section_->addItem(QStringLiteral("все"));
    for (int s = 1; s <= channels::kSectionCount; ++s)
        section_->addItem(Utf8(channels::SectionName(s)));
    motor_ = new QComboBox(this);
    motor_->setMinimumContentsLength(18);
    kind_ = new QComboBox(this);
    kind_->addItem(QStringLiteral("все"));
    for (int k = 0; k < events::kEventKindCount; ++k)
        kind_->addItem(QString::fromUtf8(events::EventKindText(static_cast<events::EventKind>(k))));
    for (auto [caption, widget] : {std::pair<const char*, QWidget*>{"день:", day_},
                                   {"участок:", section_},
                                   {"двигатель:", motor_},
                                   {"событие:", kind_}}) {
        filters->addWidget(new QLabel(QString::fromUtf8(caption), this));
        filters->addWidget(widget);
    }
    filters->addStretch();
    layout->addLayout(filters);

    filter_.setSourceModel(&model_);
    table_ = new QTableView(this);
    table_->setObjectName(QStringLiteral("JournalTable"));
    table_->setModel(&filter_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 4);
    table_->horizontalHeader()->setStretchLastSection(true);
    // Widths by the texts the columns hold, not measured over a day's thousands of lines.
    const QFontMetrics metrics = table_->fontMetrics();
    const char* widest[] = {"00.00.0000 00:00:00",
                            "неисправность преобразователя",
                            "канал",
                            "СПВ и сушильная камера 1А",
                            "Дробилка первичного помола",
                            "0000,0",
                            "длительность, с",
                            "тревога"};
    for (int column = 0; column < JournalModel::Details; ++column)
        table_->setColumnWidth(column, metrics.horizontalAdvance(QString::fromUtf8(widest[column])) + 16);
    layout->addWidget(table_, 1);

    // The operator pressed "квитировать": the alarm picked in the list.
    connect(acknowledge_, &QPushButton::clicked, this, [this] {
        if (const QTreeWidgetItem* item = PickedAlarm())
            station_.Journal().Acknowledge(static_cast<events::EventKind>(item->data(0, kKindRole).toInt()),
                                           item->data(0, kChannelRole).toInt());
    });
    connect(alarms_, &QTreeWidget::itemSelectionChanged, this, &JournalWindow::EnableAcknowledge);
    connect(acknowledgeAll_, &QPushButton::clicked, this, [this] { station_.Journal().AcknowledgeAll(); });
    connect(day_, &QDateEdit::dateChanged, this, &JournalWindow::OpenDay);
    connect(section_, &QComboBox::currentIndexChanged, this, [this](int index) {
        filter_.SetSection(index <= 0 ? QString() : section_->itemText(index));
        FillMotors();
    });
    connect(motor_, &QComboBox::currentIndexChanged, this,
            [this](int index) { filter_.SetChannel(index < 0 ? 0 : motor_->itemData(index).toInt()); });
    connect(kind_, &QComboBox::currentIndexChanged, this,
            [this](int index) { filter_.SetKind(index <= 0 ? QString() : kind_->itemText(index)); });
    FillMotors();
}

void JournalWindow::FillMotors() {
    const int section = section_->currentIndex();
    const int chosen = motor_->currentData().toInt();
    const QSignalBlocker block(motor_);
    motor_->clear();
    motor_->addItem(QStringLiteral("все"), 0);
    for (int n = 1; n <= channels::kChannelCount; ++n)
        if (section <= 0 || channels::SectionOfChannel(n) == section)
            motor_->addItem(MotorText(station_.Data(), n), n);
    const int index = motor_->findData(chosen);
    motor_->setCurrentIndex(index < 0 ? 0 : index);
    filter_.SetChannel(motor_->currentData().toInt());
}

void JournalWindow::ShowModeless() {
    const QDate today = DateOf(station_.Environment().Clock.Today());
    // The names may have changed since the last opening.
    FillMotors();
    if (day_->date() != today)
        day_->setDate(today); // opens the day
    else
        OpenDay();
    show();
    RefreshAlarms();
    raise();
    activateWindow();
}

bool JournalWindow::ShowingToday() const {
    return DayOf(day_->date()) == station_.Environment().Clock.Today();
}

void JournalWindow::OpenDay() {
    model_.Open(station_.Journal().PathFor(DayOf(day_->date())));
}

void JournalWindow::FollowJournal() {
    if (!isVisible())
        return;
    if (!ShowingToday())
        return;
    if (model_.Path() != station_.Journal().PathFor(DayOf(day_->date()))) {
        OpenDay();
        return;
    }
    // The new lines come on top. The rows the operator is looking at stay under the pointer: once
    // scrolled down, with a line picked, or with the pointer over them; else the newest come into sight.
    QScrollBar* bar = table_->verticalScrollBar();
    const bool hold =
        bar->value() > 0 || table_->selectionModel()->hasSelection() || table_->viewport()->underMouse();
    const int rows = filter_.rowCount();
    const int top = bar->value();
    model_.Follow();
    if (!hold || filter_.rowCount() == rows)
        return;
    // The scroll range follows the rows only at the next layout, too late for the value.
    table_->doItemsLayout();
    bar->setValue(top + filter_.rowCount() - rows);
}

void JournalWindow::RefreshAlarms() {
    // A closed window is filled when it opens.
    if (!isVisible())
        return;
    const events::ActiveAlarms& alarms = station_.Journal().Alarms();
    const channels::ChannelData& data = station_.Data();
    const QTreeWidgetItem* picked = PickedAlarm();
    const int kind = picked ? picked->data(0, kKindRole).toInt() : -1;
    const int channel = picked ? picked->data(0, kChannelRole).toInt() : -1;
    const int scrolled = alarms_->verticalScrollBar()->value();
    const QSignalBlocker quiet(alarms_);
    alarms_->clear();
    for (const events::Alarm& alarm : alarms.List()) {
        auto* item = new QTreeWidgetItem(alarms_);
        item->setText(0, QString::fromStdString(common::FormatDate(alarm.Since, "dd.MM.yyyy") + ' ' +
                                                common::FormatTime(alarm.Since, "HH:mm:ss")));
        item->setText(1, QString::fromUtf8(events::EventKindText(alarm.Kind)));
        item->setText(2, alarm.Channel == 0 ? QStringLiteral("все") : MotorText(data, alarm.Channel));
        item->setText(3, alarm.Active ? QStringLiteral("действует") : QStringLiteral("снята"));
        item->setText(4, alarm.Acknowledged ? QStringLiteral("да") : QStringLiteral("нет"));
        item->setData(0, kKindRole, static_cast<int>(alarm.Kind));
        item->setData(0, kChannelRole, alarm.Channel);
        item->setData(0, kWaitingRole, !alarm.Acknowledged);
        if (!alarm.Acknowledged)
            for (int c = 0; c < 5; ++c)
                item->setForeground(c, QColor(200, 0, 0));
        if (static_cast<int>(alarm.Kind) == kind && alarm.Channel == channel)
            alarms_->setCurrentItem(item);
    }
    alarms_->doItemsLayout();
    alarms_->verticalScrollBar()->setValue(scrolled);
    acknowledgeAll_->setEnabled(alarms.UnacknowledgedCount() > 0);
    EnableAcknowledge();
}

QTreeWidgetItem* JournalWindow::PickedAlarm() const {
    // The selected one: the list makes its first row current on focus without selecting it.
    const QList<QTreeWidgetItem*> selected = alarms_->selectedItems();
    return selected.isEmpty() ? nullptr : selected.front();
}

void JournalWindow::EnableAcknowledge() {
    // Only an alarm picked and still waiting can be acknowledged.
    const QTreeWidgetItem* item = PickedAlarm();
    acknowledge_->setEnabled(item && item->data(0, kWaitingRole).toBool());
}

} // namespace registrator::ui
