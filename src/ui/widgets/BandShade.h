#pragma once

#include <QColor>
#include <QVector>
#include <qcustomplot.h>
#include <vector>

namespace registrator::ui {

// The area between two series of the same keys, shaded column by column: a pixel column takes the
// band's extent there once, however many points fall in it. QCustomPlot's own fill between graphs
// rasterizes one polygon of every point and took half a second for 8 bands of a month.
class BandShade : public QCPLayerable {
public:
    BandShade(QCustomPlot* plot, QCPGraph* low, QCPGraph* high, const QColor& fill);

protected:
    void applyDefaultAntialiasingHint(QCPPainter* painter) const override;
    QRect clipRect() const override;
    void draw(QCPPainter* painter) override;

private:
    QCPGraph* low_;
    QCPGraph* high_;
    QColor fill_;
    std::vector<double> top_;
    std::vector<double> bottom_;
    QVector<QLineF> lines_;
};

} // namespace registrator::ui
