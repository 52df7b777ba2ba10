#pragma once

#include "channels/ChannelData.h"
#include "common/OperatorMessages.h"
#include "common/RegionalSettings.h"
#include "service/recorder/HandlerGuard.h"
#include "tuning/Calibration.h"

#include <QWidget>
#include <functional>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;

namespace registrator::ui {

class DigitValidator;

// TF_Kalibr: one channel's name, coefficients, thresholds, power and switch-off current. It holds
// no values of its own: the channel is SelChannel and "применить" stores into the channel table.
class CalibrationWindow : public QWidget {
    Q_OBJECT
public:
    struct Services {
        channels::ChannelData& Data;
        common::RegionalSettings Regional;
        // Built anew for every write: the settings file beside the executable.
        std::function<std::string()> SettingsPath;
        common::OperatorMessages& Messages;
        service::HandlerGuard& Guard;
        // After every apply, also one a bad field or a failed write cut short: what the channel held
        // before and holds now, for the journal.
        std::function<void(int channel, const channels::TUstavka& before, const channels::TUstavka& after)>
            Applied;
    };

    explicit CalibrationWindow(Services services, QWidget* parent = nullptr);

    QLineEdit* Edit1() const { return edit1_; }
    QLineEdit* Edit2() const { return edit2_; }
    QLineEdit* Edit3() const { return edit3_; }
    QLineEdit* Edit4() const { return edit4_; }
    QLineEdit* Edit5() const { return edit5_; }
    QLineEdit* MaskEdit5() const { return maskEdit5_; }
    QLineEdit* MaskEdit6() const { return maskEdit6_; }
    QLabel* Label16() const { return label16_; }
    QLabel* LiveLine() const { return liveLine_; }
    QLabel* Warnings() const { return warnings_; }

public slots:
    // A motor panel was clicked: the window comes up with the focus on the name.
    void OpenForEditing();
    // A channel was selected: the fields show its settings.
    void FillFields(int channel);
    // The scan cycle has run: the live line shows the selected channel's count and current.
    void RefreshLiveLine();
    // The operator changed a coefficient, a threshold or the switch-off current.
    void EntriesEdited();
    // The operator pressed "применить".
    void Button1Click();
    // The operator pressed "закрыть".
    void ClozClick();

private:
    void Apply();
    void ShowWarnings();
    void ShowStoredName(int channel);
    QLineEdit* FieldEdit(tuning::CalibrationField field) const;

    Services services_;
    QLineEdit* edit1_;
    QLineEdit* edit2_;
    QLineEdit* edit3_;
    QLineEdit* edit4_;
    QLineEdit* edit5_;
    QLineEdit* maskEdit5_;
    QLineEdit* maskEdit6_;
    QLabel* label16_;
    QLabel* liveLine_;
    QLabel* warnings_;
    QString warningsText_;
    DigitValidator* moshnDigits_ = nullptr;
    DigitValidator* oborotDigits_ = nullptr;
};

} // namespace registrator::ui
