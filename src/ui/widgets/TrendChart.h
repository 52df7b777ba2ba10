#pragma once

#include "common/RegionalSettings.h"

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>
#include <memory>
#include <optional>
#include <qcustomplot.h>
#include <vector>

class QMenu;

namespace registrator::ui {

class BandShade;
class TimeOfDayTicker;

struct SeriesStyle {
    QColor Colour;
    double Width = 1;
    Qt::PenStyle Pen = Qt::SolidLine;
};

// A line chart of currents over the time of day, as every window that plots shows them: no legend,
// time-of-day labels thinned to the width, wheel zoom and drag pan along time with the value axis
// fitted to what is in view, a double click back to everything, a readout of the point under the
// mouse, and a context menu that saves or copies the picture.
class TrendChart : public QCustomPlot {
    Q_OBJECT
public:
    explicit TrendChart(const common::RegionalSettings& regional, QWidget* parent = nullptr);
    ~TrendChart() override;

    void SetBackground(const QBrush& brush);
    void SetTitleStyle(const QFont& font, const QColor& colour);
    void SetTitle(const QString& text);
    // Tick labels and axis labels of both axes.
    void SetAxisFont(const QFont& font);
    QString Title() const;
    // Appended to the value in the readout, e.g. " А".
    void SetValueUnit(const QString& unit) { valueUnit_ = unit; }

    // Returns the series number; the first series is the one the readout follows unless told.
    int AddSeries(const SeriesStyle& style);
    // A band between two series, `low` and `low` + 1, shaded with `fill` under the lines; returns `low`.
    int AddBand(const QColor& fill);
    void ClearSeries();
    // Every series gone, the gaps too.
    void RemoveAllSeries();
    // Keys in ascending order. A series of one point shows it as a dot, which a line alone cannot.
    void SetSeriesData(int series, const QVector<double>& keys, const QVector<double>& values);
    // A value of NaN breaks the band as it breaks a line.
    void SetBandData(int low, const QVector<double>& keys, const QVector<double>& lows,
                     const QVector<double>& highs);
    // Shaded bands over these key ranges: where the recorder wrote nothing.
    void SetGaps(const QVector<QCPRange>& keyRanges);
    int GapCount() const { return static_cast<int>(gaps_.size()); }
    QVector<QCPRange> Gaps() const;
    // The value of the series' point at exactly `key`, if there is one.
    std::optional<double> ValueAt(int series, double key) const;

    // Keys are point numbers; point firstKey + i has the time of day times[i].
    void SetPointTimes(QVector<double> times, double firstKey);
    // Keys are date-and-time values; with `withDates` they may span days, the midnights labelled with
    // their dates.
    void SetKeysAreTimes(bool withDates = false);
    // Zoom and pan keep within `bounds` rather than within the data, and a double click shows them all.
    void SetKeyBounds(const std::optional<QCPRange>& bounds) { keyBounds_ = bounds; }
    // Zooming in stops at this many keys across.
    void SetMinimumKeySpan(double span) { minimumKeySpan_ = span; }
    // The tick labels of the time axis as the last replot placed them.
    QStringList TimeLabels() const;

    // All the data in view, the value axis fitted; without data, the axes as they started.
    void ResetView();
    // The value axis fitted to what is in view, as a zoom fits it, after the data changed.
    void FitValues() { FitValueAxis(); }
    // The series whose points the readout follows.
    void SetReadoutSeries(int series) { readoutSeries_ = series; }
    // The readout's text for the followed series' point at `key`, in place of its time and value.
    void SetReadoutText(std::function<QString(double key, double value)> text) {
        readoutText_ = std::move(text);
    }
    // Time of day and value of the followed series' point nearest to `key`; empty without data.
    QString ReadoutAt(double key) const;
    // The readout as it stands, empty while hidden.
    QString Readout() const;

    bool SaveImage(const QString& path);
    void CopyImage();
    // The context menu's actions, ready to run; the caller owns the menu.
    QMenu* MakeContextMenu(QWidget* parent);

protected:
    void leaveEvent(QEvent* event) override;

private:
    void FitTickCount();
    void KeepKeysWithinData(const QCPRange& range);
    void FitValueAxis();
    QCPRange DataKeyRange(bool& found) const;
    void ShowReadout(QMouseEvent* event);
    // The crosshair and its text at the point under `pos`, or hidden; the caller replots.
    void PlaceReadout(const QPoint& pos);
    // Runs `draw` with the crosshair and readout hidden, so a saved picture shows only the chart.
    template <typename Draw> auto WithoutReadout(Draw draw);
    void ShowContextMenu(const QPoint& pos);
    void AskAndSaveImage();

    common::RegionalSettings regional_;
    QSharedPointer<TimeOfDayTicker> ticker_;
    QCPTextElement* title_;
    QCPItemTracer* tracer_;
    QCPItemText* readout_;
    QString valueUnit_;
    std::vector<QCPItemRect*> gaps_;
    std::vector<BandShade*> bands_;
    std::optional<QPoint> mouse_; // where the mouse is over the chart
    QCPRange startKeys_;
    QCPRange startValues_;
    bool adjustingRange_ = false;
    std::optional<QCPRange> keyBounds_;
    double minimumKeySpan_ = 0;
    int readoutSeries_ = 0;
    std::function<QString(double, double)> readoutText_;
};

} // namespace registrator::ui
