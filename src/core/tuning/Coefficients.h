#pragma once

namespace registrator::tuning {

// k and b of the conversion y = k*x - b.
struct LineCoefficients {
    double K = 0;
    double B = 0;
};

// The line through (x1, y1) and (x2, y2): K = (y2 - y1) / (x2 - x1), then B = K*x1 - y1 from that K.
// Equal x values throw "Floating point division by zero", or "Invalid floating point operation" when
// the y values are equal too; a result beyond the range of a double throws "Floating point overflow".
LineCoefficients CoefficientsThrough(double x1, double y1, double x2, double y2);

// K and B as the window shows them ("0.####"), which is what the operator copies out.
LineCoefficients AsShown(LineCoefficients line, char decimalSeparator);

} // namespace registrator::tuning
