#pragma once

#include "ui/events/JournalModel.h"

#include <QWidget>

class QComboBox;
class QDateEdit;
class QPushButton;
class QTableView;
class QTreeWidget;
class QTreeWidgetItem;

namespace registrator::service {
class Station;
}

namespace registrator::ui {

// "журнал событий": the active alarms on top, to acknowledge one or all, and below them a day's
// journal, newest first, filtered by section, motor and kind; today's follows each new line.
class JournalWindow : public QWidget {
    Q_OBJECT
public:
    explicit JournalWindow(service::Station& station, QWidget* parent = nullptr);

    void ShowModeless();
    // The alarm list anew, after any change of it.
    void RefreshAlarms();
    // A line went into the journal: today's table takes it on.
    void FollowJournal();

    QTreeWidget* AlarmList() const { return alarms_; }
    QTableView* Table() const { return table_; }
    QDateEdit* Day() const { return day_; }
    QComboBox* SectionChoice() const { return section_; }
    QComboBox* MotorChoice() const { return motor_; }
    QComboBox* KindChoice() const { return kind_; }
    QPushButton* AcknowledgeButton() const { return acknowledge_; }
    QPushButton* AcknowledgeAllButton() const { return acknowledgeAll_; }
    const JournalModel& Model() const { return model_; }
    const JournalFilter& Filter() const { return filter_; }

private:
    void OpenDay();
    void FillMotors();
    bool ShowingToday() const;
    QTreeWidgetItem* PickedAlarm() const;
    void EnableAcknowledge();

    service::Station& station_;
    JournalModel model_;
    JournalFilter filter_;
    QTreeWidget* alarms_;
    QPushButton* acknowledge_;
    QPushButton* acknowledgeAll_;
    QDateEdit* day_;
    QComboBox* section_;
    QComboBox* motor_;
    QComboBox* kind_;
    QTableView* table_;
};

} // namespace registrator::ui
