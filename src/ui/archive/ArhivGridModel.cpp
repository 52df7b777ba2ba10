#include "ui/archive/ArhivGridModel.h"

#include "common/DateTime.h"
#include "common/NumberText.h"
#include "ui/archive/DaySummaryPanel.h"

#include <QGuiApplication>
#include <QPalette>
#include <algorithm>

namespace registrator::ui {

ArhivGridModel::ArhivGridModel(const std::vector<archive::TArhivRec>& records,
                               const common::RegionalSettings& regional, QObject* parent)
    : QAbstractTableModel(parent), records_(records), regional_(regional) {}

void ArhivGridModel::Show(std::size_t count, int channel) {
    beginResetModel();
    count_ = std::min(count, records_.size());
    channel_ = std::clamp(channel, 1, 72);
    endResetModel();
}

void ArhivGridModel::SetBreaks(std::vector<monitor::RecordingBreak> breaks) {
    breaks_ = std::move(breaks);
    if (count_ > 0)
        emit dataChanged(index(0, 0), index(static_cast<int>(count_) - 1, kColumnCount - 1));
}

QString ArhivGridModel::Cell(int column, int row) const {
    if (row < 0 || static_cast<std::size_t>(row) >= count_ || column < 0 || column >= kColumnCount)
        return {};
    const archive::TArhivRec& rec = records_[static_cast<std::size_t>(row)];
    if (column == 0)
        return QString::fromStdString(common::TimeText(rec.Time, regional_));
    return QString::fromStdString(common::FloatToText(rec.Tok[channel_ - 1], regional_.DecimalSeparator));
}

int ArhivGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(count_);
}

int ArhivGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant ArhivGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    if (role == Qt::DisplayRole)
        return Cell(index.column(), index.row());
    if (role == Qt::BackgroundRole || role == Qt::ToolTipRole) {
        const auto row = static_cast<std::size_t>(index.row());
        const auto stop =
            std::lower_bound(breaks_.begin(), breaks_.end(), row,
                             [](const monitor::RecordingBreak& g, std::size_t r) { return g.After < r; });
        // A stop of the recorder must not be read as a steady current across it.
        if (stop != breaks_.end() && stop->After == row) {
            if (role == Qt::ToolTipRole)
                return QStringLiteral("Перед этой записью перерыв: %1").arg(DurationText(stop->Seconds));
            return QColor(255, 200, 160);
        }
    }
    // The fixed column looks like a header.
    if (role == Qt::BackgroundRole && index.column() == 0)
        return QGuiApplication::palette().color(QPalette::Button);
    return {};
}

} // namespace registrator::ui
