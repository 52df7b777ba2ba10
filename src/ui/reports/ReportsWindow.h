#pragma once

#include "channels/ChannelData.h"
#include "common/Clock.h"
#include "common/OperatorMessages.h"
#include "service/reportfiles/ReportFiles.h"

#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>

class QComboBox;
class QDateEdit;
class QDateTimeEdit;
class QLabel;
class QPrintPreviewWidget;
class QPrinter;
class QProgressBar;
class QPushButton;
class QThread;

namespace registrator::ui {

// "отчёты": a shift's, a day's, a month's or any period's report, counted off the GUI thread, shown as
// the printout will look, and printed or saved as PDF or XLSX.
class ReportsWindow : public QWidget {
    Q_OBJECT
public:
    struct Services {
        std::string ArchiveFolder;
        const channels::ChannelData& Data; // the present thresholds and names, copied for each count
        const common::Clock& Clock;
        std::function<std::string()> SettingsPath; // each motor's supply and the shifts
        std::string Station;
        common::OperatorMessages& Messages;
    };
    enum Kind { Shift, Day, Month, Range };

    explicit ReportsWindow(Services services, QWidget* parent = nullptr);
    ~ReportsWindow() override;

    void ShowModeless();
    // Counts the chosen period; reportReady follows (not when the window is closed meanwhile).
    void MakeReport();
    // False after telling the operator why.
    bool SavePdf(const QString& path);
    bool SaveXlsx(const QString& path);

    const reportfiles::ReportContent* Content() const { return content_.get(); }
    bool Counting() const { return worker_ != nullptr; }
    QComboBox* KindChoice() const { return kind_; }
    QDateEdit* DayChoice() const { return day_; }
    QComboBox* ShiftChoice() const { return shift_; }
    QDateTimeEdit* FromChoice() const { return from_; }
    QDateTimeEdit* ToChoice() const { return to_; }
    QPushButton* MakeButton() const { return make_; }
    QPushButton* PrintButton() const { return print_; }
    QPushButton* PdfButton() const { return pdf_; }
    QPushButton* XlsxButton() const { return xlsx_; }
    QProgressBar* Progress() const { return progress_; }
    QPrintPreviewWidget* Preview() const { return preview_; }

signals:
    void reportReady();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    struct Job;
    void ShowKind();
    void FillShifts();
    void Finish(std::shared_ptr<Job> job);
    void StopCounting();
    void EnableButtons();
    QString SuggestedName() const;

    Services s_;
    std::vector<int> shifts_;
    std::unique_ptr<reportfiles::ReportContent> content_;
    std::shared_ptr<Job> job_;
    QThread* worker_ = nullptr;
    std::unique_ptr<QPrinter> printer_;
    QComboBox* kind_;
    QDateEdit* day_;
    QComboBox* shift_;
    QLabel* shiftLabel_;
    QDateTimeEdit* from_;
    QDateTimeEdit* to_;
    QLabel* toLabel_;
    QPushButton* make_;
    QProgressBar* progress_;
    QLabel* status_;
    QPrintPreviewWidget* preview_;
    QPushButton* print_;
    QPushButton* pdf_;
    QPushButton* xlsx_;
};

} // namespace registrator::ui
