#include "ui/monitor/TokGridModel.h"

#include "common/DateTime.h"
#include "common/NumberText.h"

#include <QGuiApplication>
#include <QPalette>
#include <algorithm>

namespace registrator::ui {

TokGridModel::TokGridModel(const common::RegionalSettings& regional, QObject* parent)
    : QAbstractTableModel(parent), regional_(regional) {}

void TokGridModel::SetHeaders(const QString& reading, const QString& excess) {
    readingHeader_ = reading;
    excessHeader_ = excess;
    emit dataChanged(index(0, 1), index(0, 2));
}

void TokGridModel::ShowSlots(const channels::TokHistoryStore& history, int channel, int tokIndex) {
    beginResetModel();
    tokIndex = std::clamp(tokIndex, 0, channels::kRingSize - 1);
    const channels::TTokSlot* ring = history.Ring(channel);
    slots_.assign(ring + 1, ring + 1 + tokIndex);
    rowCount_ = tokIndex + 1;
    endResetModel();
}

QString TokGridModel::Cell(int column, int row) const {
    if (row < 0 || row >= rowCount_ || column < 0 || column >= kColumnCount)
        return {};
    if (row == 0)
        return column == 1 ? readingHeader_ : column == 2 ? excessHeader_ : QString();
    if (static_cast<std::size_t>(row) > slots_.size())
        return {};
    const channels::TTokSlot& slot = slots_[static_cast<std::size_t>(row - 1)];
    if (column == 0)
        return QString::fromStdString(common::TimeText(slot.Time, regional_));
    if (column == 1)
        return QString::fromStdString(common::FloatToText(slot.Value, regional_.DecimalSeparator));
    return {};
}

int TokGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rowCount_;
}

int TokGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant TokGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return Cell(index.column(), index.row());
    case Qt::BackgroundRole:
        // The fixed column looks like a header.
        if (index.column() == 0)
            return QGuiApplication::palette().color(QPalette::Button);
        return {};
    default:
        return {};
    }
}

} // namespace registrator::ui
