#pragma once

#include "channels/ChannelData.h"
#include "common/OperatorMessages.h"
#include "events/CalibrationAudit.h"
#include "service/recorder/HandlerGuard.h"

#include <QWidget>

class QLineEdit;
class QSpinBox;
class QTimer;

namespace registrator::ui {

// Tskorost: the slow and fast timer intervals and the averaging count. Nothing here is saved;
// the controls keep what was last typed, applied or not.
class ScanTimingWindow : public QWidget {
    Q_OBJECT
public:
    ScanTimingWindow(channels::ChannelData& data, QTimer& timer1, QTimer& timer2,
                     common::OperatorMessages& messages, service::HandlerGuard& guard,
                     QWidget* parent = nullptr);

    void ShowModeless();
    // The averaging recovered from a count of 0: the field shows the count now in force.
    void ResetAvgCountField();

    QSpinBox* UpDown1() const { return upDown1_; }
    QSpinBox* UpDown2() const { return upDown2_; }
    QLineEdit* MaskEdit7() const { return maskEdit7_; }

public slots:
    void BitBtn3Click();
    void BitBtn1Click();

signals:
    // "применить" went through, as far as it did: what was in force before and after, for the journal.
    void applied(const events::ScanTiming& before, const events::ScanTiming& after);

private:
    void Apply();
    events::ScanTiming InForce() const;

    channels::ChannelData& data_;
    QTimer& timer1_;
    QTimer& timer2_;
    common::OperatorMessages& messages_;
    service::HandlerGuard& guard_;
    QSpinBox* upDown1_;
    QSpinBox* upDown2_;
    QLineEdit* maskEdit7_;
};

} // namespace registrator::ui
