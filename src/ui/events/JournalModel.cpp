#include "ui/events/JournalModel.h"

#include "events/EventJournal.h"

#include <QBrush>
#include <QColor>

namespace registrator::ui {

JournalModel::JournalModel(QObject* parent) : QAbstractTableModel(parent) {}

QString JournalModel::Text(const events::JournalEntry& line, int column) {
    const auto figure = [](const std::optional<double>& value) {
        return value ? QString::fromStdString(events::JournalFigureText(*value)) : QString();
    };
    switch (column) {
    case Time:
        return line.Time ? QString::fromStdString(events::JournalTimeText(*line.Time)) : QString();
    case Kind:
        return QString::fromStdString(line.KindText());
    case Channel:
        return line.Channel ? QString::number(*line.Channel) : QString();
    case Section:
        return QString::fromStdString(line.Section);
    case Motor:
        return QString::fromStdString(line.Motor);
    case Peak:
        return figure(line.Peak);
    case Seconds:
        return figure(line.Seconds);
    case Alarm:
        return line.Alarm ? QString::fromUtf8(events::kJournalAlarm) : QString();
    case Details:
        return QString::fromStdString(line.Details);
    default:
        return {};
    }
}

void JournalModel::Open(const std::string& path) {
    beginResetModel();
    path_ = path;
    offset_ = 0;
    lines_ = events::EventJournal::ReadFrom(path_, offset_);
    endResetModel();
}

void JournalModel::Follow() {
    if (path_.empty())
        return;
    std::vector<events::JournalEntry> lines = events::EventJournal::ReadFrom(path_, offset_);
    if (lines.empty())
        return;
    beginInsertRows({}, 0, static_cast<int>(lines.size()) - 1);
    for (events::JournalEntry& line : lines)
        lines_.push_back(std::move(line));
    endInsertRows();
}

int JournalModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(lines_.size());
}

int JournalModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant JournalModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const events::JournalEntry& line = lines_[lines_.size() - 1 - static_cast<std::size_t>(index.row())];
    if (role == Qt::DisplayRole)
        return Text(line, index.column());
    // The whole text where a column may cut it.
    if (role == Qt::ToolTipRole && (index.column() == Details || index.column() == Motor) &&
        !Text(line, index.column()).isEmpty())
        return Text(line, index.column());
    if (role == Qt::BackgroundRole && line.Alarm)
        return QBrush(QColor(255, 214, 214));
    if (role == Qt::TextAlignmentRole &&
        (index.column() == Peak || index.column() == Seconds || index.column() == Channel))
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant JournalModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const QStringList kCaptions =
        QString::fromUtf8(events::EventJournal::kHeader).split(QLatin1Char(';'));
    return kCaptions.value(section);
}

void JournalFilter::SetSection(const QString& section) {
    section_ = section;
    invalidateFilter();
}

void JournalFilter::SetChannel(int channel) {
    channel_ = channel;
    invalidateFilter();
}

void JournalFilter::SetKind(const QString& kind) {
    kind_ = kind;
    invalidateFilter();
}

bool JournalFilter::filterAcceptsRow(int row, const QModelIndex& parent) const {
    const auto field = [&](int column) {
        return sourceModel()->index(row, column, parent).data().toString();
    };
    if (!section_.isEmpty() && field(JournalModel::Section) != section_)
        return false;
    if (channel_ != 0 && field(JournalModel::Channel) != QString::number(channel_))
        return false;
    return kind_.isEmpty() || field(JournalModel::Kind) == kind_;
}

} // namespace registrator::ui
