#include "ui/widgets/PeriodTrendChart.h"

#include "common/DateTime.h"
#include "common/NumberText.h"
#include "ui/widgets/DesignLook.h"

#include <array>
#include <cmath>

namespace registrator::ui {

namespace {

// Apart on white and from the yellow and red of the thresholds.
constexpr std::array<QRgb, 8> kMotorColours = {0x005ac8, 0xe67800, 0x00963c, 0x8c3cb4,
                                               0x8c5028, 0xdc00a0, 0x0096a0, 0x464646};
const QColor kNominal(200, 160, 0);
const QColor kCritical(220, 0, 0);

QColor Paler(const QColor& colour) {
    return QColor((colour.red() + 2 * 255) / 3, (colour.green() + 2 * 255) / 3,
                  (colour.blue() + 2 * 255) / 3);
}

} // namespace

PeriodTrendChart::PeriodTrendChart(const common::RegionalSettings& regional, QWidget* parent)
    : TrendChart(regional, parent), regional_(regional) {
    SetValueUnit(QStringLiteral(" А"));
    SetAxisFont(PixelFont(12, false));
    SetBackground(Qt::white);
    SetTitleStyle(PixelFont(15, true), Qt::blue);
    SetKeysAreTimes(true);
    // Down to a minute across, some 60 records.
    SetMinimumKeySpan(1.0 / 1440);
    setPlottingHint(QCP::phFastPolylines, true);
    SetReadoutText([this](double key, double mean) { return ReadoutOf(key, mean); });
}

QColor PeriodTrendChart::MotorColour(int k) {
    return QColor::fromRgb(kMotorColours[static_cast<std::size_t>(k) % kMotorColours.size()]);
}

void PeriodTrendChart::SetMotors(const QStringList& names) {
    RemoveAllSeries();
    names_ = names;
    const int count = MotorCount();
    // One pixel: a wider line is stroked several times slower, and the band around it carries the weight.
    for (int k = 0; k < count; ++k)
        AddSeries({MotorColour(k), 1, Qt::SolidLine});
    AddSeries({kNominal, 2, Qt::DashLine});
    AddSeries({kCritical, 2, Qt::DashLine});
    for (int k = 0; k < count; ++k) {
        QColor fill = MotorColour(k);
        fill.setAlpha(count > 1 ? 45 : 70);
        AddBand(fill);
    }
    for (int k = 0; k < count; ++k) {
        const int series = AddSeries({Paler(MotorColour(k)), 1.5, Qt::SolidLine});
        // Under this period's lines.
        graph(series)->setLayer(QStringLiteral("bands"));
    }
    linesMotor_ = 0;
    SetReadoutSeries(MeanSeries(0));
}

void PeriodTrendChart::SetMotor(int k, const Band& band) {
    SetSeriesData(MeanSeries(k), band.Keys, band.Mean);
    SetBandData(LowSeries(k), band.Keys, band.Min, band.Max);
}

void PeriodTrendChart::SetEarlier(int k, const QVector<double>& keys, const QVector<double>& means) {
    SetSeriesData(EarlierSeries(k), keys, means);
}

void PeriodTrendChart::ShowEarlier(bool shown) {
    for (int k = 0; k < MotorCount(); ++k)
        graph(EarlierSeries(k))->setVisible(shown);
}

void PeriodTrendChart::SetLines(int k, double nominal, double critical, double from, double to) {
    linesMotor_ = k;
    // A point at each of the motor's, so that a zoom keeps the thresholds in view as it keeps the data.
    QVector<double> keys{from};
    const QSharedPointer<QCPGraphDataContainer> data = graph(MeanSeries(k))->data();
    for (auto p = data->constBegin(); p != data->constEnd(); ++p)
        if (p->key > keys.back() && p->key < to)
            keys.append(p->key);
    keys.append(to);
    SetSeriesData(NominalSeries(), keys, QVector<double>(keys.size(), nominal));
    SetSeriesData(CriticalSeries(), keys, QVector<double>(keys.size(), critical));
    SetReadoutSeries(MeanSeries(k));
}

QString PeriodTrendChart::ReadoutOf(double key, double mean) const {
    const QString when =
        QString::fromStdString(common::DateText(key, regional_) + " " + common::TimeText(key, regional_));
    const QString name = linesMotor_ < names_.size() ? names_[linesMotor_] + QStringLiteral(": ") : QString();
    if (std::isnan(mean))
        return when + QStringLiteral("   ") + name + QStringLiteral("нет записей");
    const auto number = [&](double value) {
        return QString::fromStdString(common::FloatToText(value, regional_.DecimalSeparator));
    };
    const std::optional<double> low = ValueAt(LowSeries(linesMotor_), key);
    const std::optional<double> high = ValueAt(LowSeries(linesMotor_) + 1, key);
    // A record's own reading as the archive viewer shows it; a stretch's mean to a tenth, and its band.
    if (!low || !high || *low == *high)
        return when + QStringLiteral("   ") + name + number(mean) + QStringLiteral(" А");
    return when + QStringLiteral("   ") + name + number(std::round(mean * 10) / 10) + QStringLiteral(" А (") +
           number(*low) + QStringLiteral("…") + number(*high) + QStringLiteral(")");
}

} // namespace registrator::ui
