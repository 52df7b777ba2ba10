#pragma once

#include "tuning/Calibration.h"

#include <string>
#include <vector>

namespace registrator::tuning {

// What the operator should know before applying the entries, in plain Russian sentences, the
// thresholds first: thresholds in an order or below zero that keep a panel colour from ever showing;
// k not above zero; a stopped motor (count 0) that does not read 0 A or is not grey; and a conversion
// y = k*x - b that over the converter's counts 0..1023 never brings the panel into a colour the
// thresholds allow. None when all is plausible. An entry that does not parse (or an empty one) leaves
// out what depends on it: the apply reports it.
std::vector<std::string> CalibrationWarnings(const CalibrationEntries& entries, char decimalSeparator);

} // namespace registrator::tuning
