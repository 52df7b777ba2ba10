#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace registrator::common {

// Shortest general form with at most 15 significant digits: "0,5", "1E-7", "1,5E20", "-12".
// Exponent form when |value| < 0.00001 (and not 0) or more than 15 digits stand before the separator.
std::string FloatToText(double value, char decimalSeparator);
// The same text appended to `out`, without its cost for the usual numbers (exports write millions).
void AppendFloatText(std::string& out, double value, char decimalSeparator);

// The "0.####" pattern: at least one whole digit, at most four decimals (rounded), trailing zeros
// and a bare separator dropped.
std::string FloatToTextFourDecimals(double value, char decimalSeparator);

std::string IntToText(std::int64_t value);

// Decimal number: blanks around are trimmed; optional sign, digits with the given separator,
// optional exponent; nothing else. Non-finite or out-of-range results fail.
std::optional<double> ParseFloat(std::string_view text, char decimalSeparator);
// As ParseFloat, accepting either ',' or '.' as the separator.
std::optional<double> ParseFloatAnySeparator(std::string_view text);

// 32-bit integer as the settings file reads it: decimal with optional sign, or hexadecimal after '$'
// or after 0x/0X when the text is longer than two characters. Out of range fails.
std::optional<std::int32_t> ParseInt(std::string_view text);

std::string_view Trim(std::string_view text);

} // namespace registrator::common
