#include "ui/widgets/BandShade.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace registrator::ui {

BandShade::BandShade(QCustomPlot* plot, QCPGraph* low, QCPGraph* high, const QColor& fill)
    : QCPLayerable(plot, low->layer()->name()), low_(low), high_(high), fill_(fill) {}

void BandShade::applyDefaultAntialiasingHint(QCPPainter* painter) const {
    // Whole pixel columns side by side: smoothing would only seam them.
    painter->setAntialiasing(false);
}

QRect BandShade::clipRect() const {
    return low_->keyAxis()->axisRect()->rect();
}

void BandShade::draw(QCPPainter* painter) {
    const QCPAxis* keys = low_->keyAxis();
    const QCPAxis* values = low_->valueAxis();
    const QRect area = clipRect();
    const int columns = area.width();
    const double none = std::numeric_limits<double>::quiet_NaN();
    top_.assign(static_cast<std::size_t>(columns), none);
    bottom_.assign(static_cast<std::size_t>(columns), none);
    const auto cover = [&](int x, double a, double b) {
        if (x < 0 || x >= columns)
            return;
        const auto i = static_cast<std::size_t>(x);
        const bool first = std::isnan(top_[i]);
        top_[i] = first ? std::min(a, b) : std::min({top_[i], a, b});
        bottom_[i] = first ? std::max(a, b) : std::max({bottom_[i], a, b});
    };
    const QSharedPointer<QCPGraphDataContainer> lows = low_->data();
    const QSharedPointer<QCPGraphDataContainer> highs = high_->data();
    // The last point's column and pixels; NaN after a break, which is never bridged.
    double lastX = none;
    double lastLow = 0;
    double lastHigh = 0;
    auto h = highs->constBegin();
    for (auto l = lows->constBegin(); l != lows->constEnd() && h != highs->constEnd(); ++l, ++h) {
        if (std::isnan(l->value) || std::isnan(h->value)) {
            lastX = none;
            continue;
        }
        const double x = keys->coordToPixel(l->key) - area.left();
        const double yLow = values->coordToPixel(l->value);
        const double yHigh = values->coordToPixel(h->value);
        if (!std::isnan(lastX) && x > lastX) {
            // Between two points the band runs straight, as lines do.
            const int from = std::max(0, static_cast<int>(std::ceil(lastX)));
            const int to = std::min(columns - 1, static_cast<int>(std::floor(x)));
            for (int c = from; c <= to; ++c) {
                const double t = (c - lastX) / (x - lastX);
                cover(c, lastLow + t * (yLow - lastLow), lastHigh + t * (yHigh - lastHigh));
            }
        }
        cover(static_cast<int>(std::lround(x)), yLow, yHigh);
        lastX = x;
        lastLow = yLow;
        lastHigh = yHigh;
    }
    lines_.clear();
    for (int c = 0; c < columns; ++c) {
        const auto i = static_cast<std::size_t>(c);
        if (!std::isnan(top_[i]))
            lines_.append(QLineF(area.left() + c + 0.5, std::floor(top_[i]), area.left() + c + 0.5,
                                 std::ceil(bottom_[i])));
    }
    painter->setPen(QPen(fill_, 1));
    painter->drawLines(lines_);
}

} // namespace registrator::ui
