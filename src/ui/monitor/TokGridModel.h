#pragma once

#include "channels/ChannelData.h"
#include "common/RegionalSettings.h"

#include <QAbstractTableModel>
#include <QColor>
#include <vector>

namespace registrator::ui {

// The section window's table: row 0 holds the column headers, rows 1.. the history slots 1..TokIndex
// of one motor, a copy taken at the last refresh; column 0 is the fixed time column. Texts are made
// when the view asks, so a full ring costs no item objects.
class TokGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kColumnCount = 3;

    TokGridModel(const common::RegionalSettings& regional, QObject* parent = nullptr);

    void SetHeaders(const QString& reading, const QString& excess);
    // Slots 1..tokIndex of the channel, the current slot last; slot 0 is not listed.
    void ShowSlots(const channels::TokHistoryStore& history, int channel, int tokIndex);

    // The text a cell shows; empty outside the grid.
    QString Cell(int column, int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    common::RegionalSettings regional_;
    QString readingHeader_;
    QString excessHeader_;
    // slots_[r - 1] is history slot r.
    std::vector<channels::TTokSlot> slots_;
    // As designed, two rows before the first refresh.
    int rowCount_ = 2;
};

} // namespace registrator::ui
