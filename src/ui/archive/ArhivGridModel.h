#pragma once

#include "archive/ArchiveRecords.h"
#include "common/RegionalSettings.h"
#include "monitor/DaySummary.h"

#include <QAbstractTableModel>
#include <vector>

namespace registrator::ui {

// The viewer's table: one row per loaded record, the time in the fixed column 0 and one channel's
// reading in column 1. It reads the archive's loaded records in place and makes each text only when
// the view asks, so a full day costs no item objects.
class ArhivGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kColumnCount = 2;

    ArhivGridModel(const std::vector<archive::TArhivRec>& records, const common::RegionalSettings& regional,
                   QObject* parent = nullptr);

    // The first `count` records, channel n's column.
    void Show(std::size_t count, int channel);

    // Rows that follow a stop of the recorder are tinted, their tooltip saying how long it was.
    void SetBreaks(std::vector<monitor::RecordingBreak> breaks);

    // The text a cell shows; empty outside the table.
    QString Cell(int column, int row) const;
    int Channel() const { return channel_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    // The loaded records only grow, so a count taken at the last refresh stays inside them even while
    // a later load is under way.
    const std::vector<archive::TArhivRec>& records_;
    common::RegionalSettings regional_;
    std::size_t count_ = 0;
    int channel_ = 1;
    std::vector<monitor::RecordingBreak> breaks_; // by ascending After
};

} // namespace registrator::ui
