#include "ui/events/JournalModel.h"

#include "events/EventJournal.h"

#include <QBrush>
#include <QColor>

namespace registrator::ui {

JournalModel::JournalModel(QObject* parent) : QAbstractTableModel(parent) {}

std::vector<QStringList> JournalModel::Read() {
    std::vector<QStringList> lines;
    for (const std::vector<std::string>& fields : events::EventJournal::ReadFrom(path_, offset_)) {
        QStringList line;
        for (const std::string& field : fields)
            line << QString::fromStdString(field);
        while (line.size() < ColumnCount)
            line << QString();
        lines.push_back(std::move(line));
    }
    return lines;
}

void JournalModel::Open(const std::string& path) {
    beginResetModel();
    path_ = path;
    offset_ = 0;
    lines_ = Read();
    endResetModel();
}

void JournalModel::Follow() {
    if (path_.empty())
        return;
    std::vector<QStringList> lines = Read();
    if (lines.empty())
        return;
    beginInsertRows({}, 0, static_cast<int>(lines.size()) - 1);
    for (QStringList& line : lines)
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
    const QStringList& line = lines_[lines_.size() - 1 - static_cast<std::size_t>(index.row())];
    if (role == Qt::DisplayRole)
        return line.value(index.column());
    // The whole text where a column may cut it.
    if (role == Qt::ToolTipRole && (index.column() == Details || index.column() == Motor) &&
        !line.value(index.column()).isEmpty())
        return line.value(index.column());
    if (role == Qt::BackgroundRole && !line.value(Alarm).isEmpty())
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
