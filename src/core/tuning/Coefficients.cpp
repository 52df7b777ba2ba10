#include "tuning/Coefficients.h"

#include "common/NumberText.h"

#include <cmath>
#include <stdexcept>

namespace registrator::tuning {

namespace {

double Checked(double value) {
    if (!std::isfinite(value))
        throw std::overflow_error("Floating point overflow");
    return value;
}

double ShownValue(double value, char decimalSeparator) {
    return common::ParseFloat(common::FloatToTextFourDecimals(value, decimalSeparator), decimalSeparator)
        .value_or(value);
}

} // namespace

LineCoefficients CoefficientsThrough(double x1, double y1, double x2, double y2) {
    const double run = x2 - x1;
    const double rise = y2 - y1;
    if (run == 0) {
        if (rise == 0 || std::isnan(rise))
            throw std::domain_error("Invalid floating point operation");
        throw std::domain_error("Floating point division by zero");
    }
    LineCoefficients line;
    line.K = Checked(Checked(rise) / Checked(run));
    line.B = Checked(line.K * x1 - y1);
    return line;
}

LineCoefficients AsShown(LineCoefficients line, char decimalSeparator) {
    return {ShownValue(line.K, decimalSeparator), ShownValue(line.B, decimalSeparator)};
}

} // namespace registrator::tuning
