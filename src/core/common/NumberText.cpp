#include "common/NumberText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace registrator::common {

namespace {

constexpr int kSignificantDigits = 15;
// The largest double, 1.7976931348623157E308, cut (not rounded) to 15 digits.
constexpr int kLargestExponent = 308;
constexpr std::string_view kLargestDigits = "179769313486231";
// Sign, the 309 whole digits of the largest double, the point and four decimals.
constexpr std::size_t kFixedDigitsRoom = 1 + 309 + 1 + 4;

std::string NonFiniteText(double value) {
    if (std::isnan(value))
        return "NAN";
    return value < 0 ? "-INF" : "INF";
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::optional<std::int32_t> ParseDigits(std::string_view digits, int base, bool negative) {
    if (digits.empty())
        return std::nullopt;
    // One more than the largest magnitude so that -2147483648 fits.
    const std::int64_t limit =
        static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::max()) + (negative ? 1 : 0);
    std::int64_t value = 0;
    for (const char c : digits) {
        const int digit = base == 16 ? HexDigit(c) : (IsDigit(c) ? c - '0' : -1);
        if (digit < 0)
            return std::nullopt;
        value = value * base + digit;
        if (value > limit)
            return std::nullopt;
    }
    return static_cast<std::int32_t>(negative ? -value : value);
}

} // namespace

std::string_view Trim(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ')
        text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ')
        text.remove_suffix(1);
    return text;
}

std::string FloatToText(double value, char decimalSeparator) {
    if (!std::isfinite(value))
        return NonFiniteText(value);
    if (value == 0)
        return "0";

    // Rounding to 15 significant digits comes first: it decides the exponent, and so the form.
    // to_chars writes a full stop whatever the C library's locale says.
    char buffer[64];
    const char* end = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific,
                                    kSignificantDigits - 1)
                          .ptr;
    const std::string_view text(buffer, static_cast<std::size_t>(end - buffer));
    const bool negative = text.front() == '-';
    const std::size_t mantissaStart = negative ? 1 : 0;
    const std::size_t ePos = text.find('e');
    std::string digits;
    for (std::size_t i = mantissaStart; i < ePos; ++i)
        if (IsDigit(text[i]))
            digits += text[i];
    int exponent = 0;
    std::from_chars(text.data() + ePos + (text[ePos + 1] == '+' ? 2 : 1), text.data() + text.size(),
                    exponent);
    // Within 15-digit rounding of the largest double the text would stand above it and not read
    // back; the largest 15-digit value below it does.
    if (exponent == kLargestExponent && digits > kLargestDigits)
        digits = kLargestDigits;
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    std::string out = negative ? "-" : "";
    if (exponent >= kSignificantDigits || exponent < -5) {
        out += digits[0];
        if (digits.size() > 1) {
            out += decimalSeparator;
            out.append(digits, 1);
        }
        out += 'E';
        out += std::to_string(exponent);
    } else if (exponent < 0) {
        out += '0';
        out += decimalSeparator;
        out.append(static_cast<std::size_t>(-exponent - 1), '0');
        out += digits;
    } else {
        const auto whole = static_cast<std::size_t>(exponent) + 1;
        if (digits.size() <= whole) {
            out += digits;
            out.append(whole - digits.size(), '0');
        } else {
            out.append(digits, 0, whole);
            out += decimalSeparator;
            out.append(digits, whole);
        }
    }
    return out;
}

void AppendFloatText(std::string& out, double value, char decimalSeparator) {
    char text[32];
    if (std::isfinite(value) && value != 0) {
        const auto done = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 15);
        const std::string_view written(text, static_cast<std::size_t>(done.ptr - text));
        // The exponent forms differ in their bounds and spelling; those few go the long way.
        if (done.ec == std::errc() && written.find('e') == std::string_view::npos) {
            const std::size_t at = out.size();
            out += written;
            if (decimalSeparator != '.')
                std::replace(out.begin() + static_cast<std::ptrdiff_t>(at), out.end(), '.', decimalSeparator);
            return;
        }
    }
    out += FloatToText(value, decimalSeparator);
}

std::string FloatToTextFourDecimals(double value, char decimalSeparator) {
    if (!std::isfinite(value))
        return NonFiniteText(value);
    // Rounds the exact binary value, halves to even, as "%.4f" would in the C locale; "%.4f" itself
    // writes the separator of the locale that Qt takes from the system.
    char buffer[kFixedDigitsRoom];
    std::string out(buffer,
                    std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 4).ptr);
    while (out.back() == '0')
        out.pop_back();
    if (out.back() == '.')
        out.pop_back();
    if (out == "-0")
        return "0";
    const std::size_t point = out.find('.');
    if (point != std::string::npos)
        out[point] = decimalSeparator;
    return out;
}

std::string IntToText(std::int64_t value) {
    return std::to_string(value);
}

std::optional<double> ParseFloat(std::string_view text, char decimalSeparator) {
    text = Trim(text);
    // Check the shape here: from_chars alone would accept "inf", "nan" and a leading part of the text.
    std::string normal;
    std::size_t pos = 0;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        if (text[pos] == '-')
            normal += '-';
        ++pos;
    }
    std::size_t mantissaDigits = 0;
    while (pos < text.size() && IsDigit(text[pos]))
        normal += text[pos++], ++mantissaDigits;
    if (pos < text.size() && text[pos] == decimalSeparator) {
        normal += '.';
        ++pos;
        while (pos < text.size() && IsDigit(text[pos]))
            normal += text[pos++], ++mantissaDigits;
    }
    if (mantissaDigits == 0)
        return std::nullopt;
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        normal += 'e';
        ++pos;
        if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
            normal += text[pos++];
        std::size_t exponentDigits = 0;
        while (pos < text.size() && IsDigit(text[pos]))
            normal += text[pos++], ++exponentDigits;
        if (exponentDigits == 0)
            return std::nullopt;
    }
    if (pos != text.size())
        return std::nullopt;

    double value = 0;
    const auto [end, error] = std::from_chars(normal.data(), normal.data() + normal.size(), value);
    if (error != std::errc{} || end != normal.data() + normal.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<double> ParseFloatAnySeparator(std::string_view text) {
    if (auto value = ParseFloat(text, ','))
        return value;
    return ParseFloat(text, '.');
}

std::optional<std::int32_t> ParseInt(std::string_view text) {
    text = Trim(text);
    if (!text.empty() && text.front() == '$')
        return ParseDigits(text.substr(1), 16, false);
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        return ParseDigits(text.substr(2), 16, false);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    return ParseDigits(text, 10, negative);
}

} // namespace registrator::common
