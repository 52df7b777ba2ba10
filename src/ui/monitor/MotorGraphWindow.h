#pragma once

#include "channels/ChannelData.h"
#include "common/RegionalSettings.h"

#include <QWidget>

class QLabel;

namespace registrator::ui {

class TrendChart;

// TF_GRAF: a motor's graph window that no operation shows; SelectChannel still keeps its
// nominal-current panel up to date.
class MotorGraphWindow : public QWidget {
    Q_OBJECT
public:
    MotorGraphWindow(const channels::ChannelData& data, const common::RegionalSettings& regional,
                     QWidget* parent = nullptr);

    // The motor graph window's share of SelectChannel.
    void ShowChannelFields(int channel);

    QLabel* Pl_nom() const { return plNom_; }
    QLabel* Pl_moshnost() const { return plMoshnost_; }
    TrendChart* Chart() const { return chart_; }

private:
    const channels::ChannelData& data_;
    common::RegionalSettings regional_;
    QLabel* plNom_;
    QLabel* plMoshnost_;
    TrendChart* chart_;
};

} // namespace registrator::ui
