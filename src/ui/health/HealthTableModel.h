#pragma once

#include "channels/ChannelData.h"
#include "reports/MotorHealth.h"

#include <QAbstractTableModel>
#include <array>

namespace registrator::ui {

// The 72 motors in section order, each with its four flags: the recent value against the past one, and a
// word and a colour where the motor has drifted.
class HealthTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kFirstFlagColumn = 2;
    static constexpr int kFlagColumns = 4;

    explicit HealthTableModel(char decimalSeparator, QObject* parent = nullptr);

    // Empty drifts: nothing counted yet.
    void Show(const channels::UstavkiTable& names,
              const std::array<reports::MotorDrift, channels::kChannelCount + 1>* drifts);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    static int ChannelOfRow(int row) { return row + 1; }

private:
    const reports::Drift& DriftAt(int row, int column) const;
    QString Number(double value, int decimals) const;

    char decimalSeparator_;
    std::array<QString, channels::kChannelCount + 1> names_;
    std::array<reports::MotorDrift, channels::kChannelCount + 1> drifts_{};
    bool counted_ = false;
};

} // namespace registrator::ui
