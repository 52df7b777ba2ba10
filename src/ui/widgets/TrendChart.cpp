#include "ui/widgets/TrendChart.h"

#include "common/DateTime.h"
#include "common/NumberText.h"
#include "ui/widgets/BandShade.h"
#include "ui/widgets/TimeOfDayTicker.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMenu>
#include <QMessageBox>

namespace registrator::ui {

namespace {

constexpr int kLabelGap = 28;

std::optional<QCPGraphData> NearestPoint(const QCPGraph& graph, double key) {
    const QSharedPointer<QCPGraphDataContainer> data = graph.data();
    if (data->isEmpty())
        return std::nullopt;
    auto after = data->findBegin(key, false);
    if (after == data->constEnd())
        return *(after - 1);
    if (after == data->constBegin())
        return *after;
    const auto before = after - 1;
    return key - before->key <= after->key - key ? *before : *after;
}

} // namespace

TrendChart::TrendChart(const common::RegionalSettings& regional, QWidget* parent)
    : QCustomPlot(parent), regional_(regional) {
    ticker_ = QSharedPointer<TimeOfDayTicker>::create(
        [this](double time) { return QString::fromStdString(common::TimeText(time, regional_)); });
    xAxis->setTicker(ticker_);
    legend->setVisible(false);
    // The axes would take the font of whatever frame the chart sits in.
    SetAxisFont(QApplication::font());

    plotLayout()->insertRow(0);
    title_ = new QCPTextElement(this, QString(), QFont());
    plotLayout()->addElement(0, 0, title_);

    setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    axisRect()->setRangeDrag(Qt::Horizontal);
    axisRect()->setRangeZoom(Qt::Horizontal);
    setNoAntialiasingOnDrag(true);

    // The readout lives on the buffered top layer, so following the mouse repaints only that layer.
    tracer_ = new QCPItemTracer(this);
    tracer_->setLayer(QStringLiteral("overlay"));
    tracer_->setStyle(QCPItemTracer::tsCrosshair);
    tracer_->setPen(QPen(QColor(90, 90, 90), 1, Qt::DashLine));
    tracer_->setVisible(false);
    readout_ = new QCPItemText(this);
    readout_->setLayer(QStringLiteral("overlay"));
    readout_->position->setType(QCPItemPosition::ptAxisRectRatio);
    readout_->position->setCoords(0.99, 0.02);
    readout_->setPositionAlignment(Qt::AlignRight | Qt::AlignTop);
    readout_->setPadding(QMargins(6, 3, 6, 3));
    readout_->setBrush(QColor(255, 255, 255, 225));
    readout_->setPen(QPen(QColor(90, 90, 90)));
    readout_->setVisible(false);

    startKeys_ = xAxis->range();
    startValues_ = yAxis->range();
    connect(this, &QCustomPlot::beforeReplot, this, &TrendChart::FitTickCount);
    // A pan, a zoom or a reset moves the data under a still mouse: the readout follows the view, once
    // the replot has laid the axes out anew. Only the overlay is drawn again, which replots nothing.
    connect(this, &QCustomPlot::afterReplot, this, [this] {
        if (!mouse_)
            return;
        const QString shown = Readout();
        PlaceReadout(*mouse_);
        if (Readout() != shown)
            layer(QStringLiteral("overlay"))->replot();
    });
    connect(xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this, &TrendChart::KeepKeysWithinData);
    connect(this, &QCustomPlot::mouseDoubleClick, this, [this] {
        ResetView();
        replot();
    });
    // The readout follows the mouse without a button held.
    setMouseTracking(true);
    connect(this, &QCustomPlot::mouseMove, this, &TrendChart::ShowReadout);
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this, &TrendChart::ShowContextMenu);
}

TrendChart::~TrendChart() = default;

void TrendChart::SetBackground(const QBrush& brush) {
    setBackground(brush);
}

void TrendChart::SetTitleStyle(const QFont& font, const QColor& colour) {
    title_->setFont(font);
    title_->setTextColor(colour);
}

void TrendChart::SetTitle(const QString& text) {
    title_->setText(text);
    replot(rpQueuedReplot);
}

void TrendChart::SetAxisFont(const QFont& font) {
    for (QCPAxis* axis : {xAxis, yAxis}) {
        axis->setTickLabelFont(font);
        axis->setLabelFont(font);
    }
}

QString TrendChart::Title() const {
    return title_->text();
}

int TrendChart::AddSeries(const SeriesStyle& style) {
    QCPGraph* graph = addGraph();
    graph->setPen(QPen(QBrush(style.Colour), style.Width, style.Pen));
    graph->setLineStyle(QCPGraph::lsLine);
    graph->setAdaptiveSampling(true);
    return graphCount() - 1;
}

int TrendChart::AddBand(const QColor& fill) {
    if (!layer(QStringLiteral("bands")))
        addLayer(QStringLiteral("bands"), layer(QStringLiteral("main")), QCustomPlot::limBelow);
    const int low = AddSeries({fill, 1, Qt::NoPen});
    const int high = AddSeries({fill, 1, Qt::NoPen});
    // Under every line, so that a band never hides another motor's mean; the shade draws it, its two
    // series only hold the data.
    for (const int series : {low, high}) {
        graph(series)->setLayer(QStringLiteral("bands"));
        graph(series)->setVisible(false);
    }
    bands_.push_back(new BandShade(this, graph(low), graph(high), fill));
    return low;
}

void TrendChart::RemoveAllSeries() {
    for (BandShade* band : bands_)
        delete band;
    bands_.clear();
    clearGraphs();
    SetGaps({});
}

void TrendChart::ClearSeries() {
    for (int i = 0; i < graphCount(); ++i)
        graph(i)->data()->clear();
}

void TrendChart::SetSeriesData(int series, const QVector<double>& keys, const QVector<double>& values) {
    QCPGraph* line = graph(series);
    line->setData(keys, values, true);
    line->setScatterStyle(keys.size() == 1 ? QCPScatterStyle(QCPScatterStyle::ssDisc, 7)
                                           : QCPScatterStyle(QCPScatterStyle::ssNone));
}

void TrendChart::SetBandData(int low, const QVector<double>& keys, const QVector<double>& lows,
                             const QVector<double>& highs) {
    graph(low)->setData(keys, lows, true);
    graph(low + 1)->setData(keys, highs, true);
}

void TrendChart::SetGaps(const QVector<QCPRange>& keyRanges) {
    for (QCPItemRect* band : gaps_)
        removeItem(band);
    gaps_.clear();
    for (const QCPRange& range : keyRanges) {
        auto* band = new QCPItemRect(this);
        band->setLayer(QStringLiteral("grid"));
        band->setClipToAxisRect(true);
        band->topLeft->setTypeX(QCPItemPosition::ptPlotCoords);
        band->topLeft->setTypeY(QCPItemPosition::ptAxisRectRatio);
        band->bottomRight->setTypeX(QCPItemPosition::ptPlotCoords);
        band->bottomRight->setTypeY(QCPItemPosition::ptAxisRectRatio);
        band->topLeft->setCoords(range.lower, 0);
        band->bottomRight->setCoords(range.upper, 1);
        // A thick edge keeps a gap of one record visible in a whole day's view.
        band->setPen(QPen(QColor(255, 140, 0, 150), 5));
        band->setBrush(QBrush(QColor(255, 140, 0, 120), Qt::BDiagPattern));
        band->setSelectable(false);
        gaps_.push_back(band);
    }
}

QVector<QCPRange> TrendChart::Gaps() const {
    QVector<QCPRange> ranges;
    for (const QCPItemRect* band : gaps_)
        ranges.append(QCPRange(band->topLeft->coords().x(), band->bottomRight->coords().x()));
    return ranges;
}

std::optional<double> TrendChart::ValueAt(int series, double key) const {
    const QSharedPointer<QCPGraphDataContainer> data = graph(series)->data();
    const auto it = data->findBegin(key, false);
    if (it == data->constEnd() || it->key != key)
        return std::nullopt;
    return it->value;
}

void TrendChart::SetPointTimes(QVector<double> times, double firstKey) {
    ticker_->SetPointTimes(std::move(times), firstKey);
}

void TrendChart::SetKeysAreTimes(bool withDates) {
    ticker_->SetKeysAreTimes(withDates ? TimeOfDayTicker::TimeText([this](double day) {
        return QString::fromStdString(common::DateText(day, regional_));
    })
                                       : TimeOfDayTicker::TimeText());
}

QStringList TrendChart::TimeLabels() const {
    QStringList labels;
    for (const QString& label : xAxis->tickVectorLabels())
        if (!label.isEmpty())
            labels << label;
    return labels;
}

void TrendChart::FitTickCount() {
    const QFontMetrics metrics(xAxis->tickLabelFont());
    const int labelPixels = metrics.horizontalAdvance(ticker_->WidestLabel()) + kLabelGap;
    // The margins of the last layout: this replot lays out only after the ticks are asked for.
    const QMargins margins = axisRect()->margins();
    ticker_->FitToWidth(viewport().width() - margins.left() - margins.right(), labelPixels);
}

QCPRange TrendChart::DataKeyRange(bool& found) const {
    if (keyBounds_) {
        found = true;
        return *keyBounds_;
    }
    found = false;
    QCPRange all;
    for (int i = 0; i < graphCount(); ++i) {
        bool has = false;
        const QCPRange range = graph(i)->getKeyRange(has);
        if (!has)
            continue;
        all = found ? QCPRange(std::min(all.lower, range.lower), std::max(all.upper, range.upper)) : range;
        found = true;
    }
    if (found && all.size() <= 0)
        all = QCPRange(all.lower - 0.5, all.upper + 0.5);
    return all;
}

void TrendChart::KeepKeysWithinData(const QCPRange& range) {
    if (adjustingRange_)
        return;
    bool found = false;
    const QCPRange bounds = DataKeyRange(found);
    if (found) {
        QCPRange kept = range;
        if (range.size() < minimumKeySpan_ && minimumKeySpan_ < bounds.size())
            kept = QCPRange(range.center() - minimumKeySpan_ / 2, range.center() + minimumKeySpan_ / 2);
        if (kept.size() >= bounds.size())
            kept = bounds;
        else if (kept.lower < bounds.lower)
            kept = QCPRange(bounds.lower, bounds.lower + kept.size());
        else if (kept.upper > bounds.upper)
            kept = QCPRange(bounds.upper - kept.size(), bounds.upper);
        if (kept != range) {
            adjustingRange_ = true;
            xAxis->setRange(kept);
            adjustingRange_ = false;
        }
    }
    FitValueAxis();
}

void TrendChart::FitValueAxis() {
    bool found = false;
    QCPRange values;
    for (int i = 0; i < graphCount(); ++i) {
        bool has = false;
        const QCPRange range = graph(i)->getValueRange(has, QCP::sdBoth, xAxis->range());
        if (!has)
            continue;
        values = found ? QCPRange(std::min(values.lower, range.lower), std::max(values.upper, range.upper))
                       : range;
        found = true;
    }
    if (!found)
        return;
    const double span = values.size();
    const double pad = span > 0 ? span * 0.05 : std::max(1.0, std::abs(values.upper) * 0.05);
    yAxis->setRange(values.lower - pad, values.upper + pad);
}

void TrendChart::ResetView() {
    bool found = false;
    const QCPRange bounds = DataKeyRange(found);
    if (!found) {
        // An empty day must not show the last day's scale.
        adjustingRange_ = true;
        xAxis->setRange(startKeys_);
        yAxis->setRange(startValues_);
        adjustingRange_ = false;
        return;
    }
    xAxis->setRange(bounds);
    FitValueAxis();
}

QString TrendChart::ReadoutAt(double key) const {
    if (readoutSeries_ >= graphCount())
        return {};
    const std::optional<QCPGraphData> point = NearestPoint(*graph(readoutSeries_), key);
    if (!point)
        return {};
    if (readoutText_)
        return readoutText_(point->key, point->value);
    const std::optional<double> time = ticker_->TimeOfKey(point->key);
    const QString timeText = time ? ticker_->TimeTextOf(*time) : QString();
    return timeText + QStringLiteral("   ") +
           QString::fromStdString(common::FloatToText(point->value, regional_.DecimalSeparator)) + valueUnit_;
}

QString TrendChart::Readout() const {
    return readout_->visible() ? readout_->text() : QString();
}

void TrendChart::PlaceReadout(const QPoint& pos) {
    const bool inside = readoutSeries_ < graphCount() && axisRect()->rect().contains(pos);
    std::optional<QCPGraphData> point;
    if (inside)
        point = NearestPoint(*graph(readoutSeries_), xAxis->pixelToCoord(pos.x()));
    tracer_->setVisible(point.has_value());
    readout_->setVisible(point.has_value());
    if (point) {
        tracer_->position->setCoords(point->key, point->value);
        readout_->setText(ReadoutAt(point->key));
    }
}

void TrendChart::ShowReadout(QMouseEvent* event) {
    mouse_ = event->position().toPoint();
    PlaceReadout(*mouse_);
    layer(QStringLiteral("overlay"))->replot();
}

void TrendChart::leaveEvent(QEvent* event) {
    QCustomPlot::leaveEvent(event);
    mouse_.reset();
    if (tracer_->visible()) {
        tracer_->setVisible(false);
        readout_->setVisible(false);
        layer(QStringLiteral("overlay"))->replot();
    }
}

template <typename Draw> auto TrendChart::WithoutReadout(Draw draw) {
    const bool shown = tracer_->visible();
    tracer_->setVisible(false);
    readout_->setVisible(false);
    const auto result = draw();
    tracer_->setVisible(shown);
    readout_->setVisible(shown);
    return result;
}

bool TrendChart::SaveImage(const QString& path) {
    return WithoutReadout([&] { return savePng(path); });
}

void TrendChart::CopyImage() {
    QGuiApplication::clipboard()->setPixmap(WithoutReadout([&] { return toPixmap(); }));
}

QMenu* TrendChart::MakeContextMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    connect(menu->addAction(QStringLiteral("Сохранить изображение…")), &QAction::triggered, this,
            &TrendChart::AskAndSaveImage);
    connect(menu->addAction(QStringLiteral("Копировать")), &QAction::triggered, this, &TrendChart::CopyImage);
    return menu;
}

void TrendChart::ShowContextMenu(const QPoint& pos) {
    QMenu* menu = MakeContextMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(mapToGlobal(pos));
}

void TrendChart::AskAndSaveImage() {
    QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Сохранить изображение"), QString(),
                                                QStringLiteral("Изображение PNG (*.png)"));
    if (path.isEmpty())
        return;
    if (!path.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive))
        path += QStringLiteral(".png");
    if (!SaveImage(path))
        QMessageBox::warning(this, QCoreApplication::applicationName(),
                             QStringLiteral("Не удалось записать файл ") + path);
}

} // namespace registrator::ui
