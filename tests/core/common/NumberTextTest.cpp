#include "common/NumberText.h"

#include "support/CommaLocale.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

using namespace registrator::common;
using registrator::support::CommaLocale;

namespace {

struct FloatCase {
    double Value;
    const char* Text;
};

class FloatToTextTest : public ::testing::TestWithParam<FloatCase> {};

TEST_P(FloatToTextTest, ShortestGeneralFormUnderRussianSettings) {
    EXPECT_EQ(FloatToText(GetParam().Value, ','), GetParam().Text);
}

INSTANTIATE_TEST_SUITE_P(
    Values, FloatToTextTest,
    ::testing::Values(FloatCase{0.5, "0,5"}, FloatCase{50, "50"}, FloatCase{0, "0"}, FloatCase{-0.0, "0"},
                      FloatCase{-2.5, "-2,5"}, FloatCase{560, "560"}, FloatCase{1234567.125, "1234567,125"},
                      FloatCase{0.1 + 0.2, "0,3"}, FloatCase{1.0 / 3, "0,333333333333333"},
                      FloatCase{2.0 / 3, "0,666666666666667"},
                      // Exponent form only below 0.00001 or beyond 15 whole digits.
                      FloatCase{0.00001, "0,00001"}, FloatCase{0.000012345, "0,000012345"},
                      FloatCase{1e-7, "1E-7"}, FloatCase{-1e-7, "-1E-7"}, FloatCase{2.5e-6, "2,5E-6"},
                      FloatCase{1.5e20, "1,5E20"}, FloatCase{1e100, "1E100"}, FloatCase{1e-300, "1E-300"},
                      FloatCase{123456789012345.0, "123456789012345"}, FloatCase{1e15, "1E15"},
                      FloatCase{12345678901234567.0, "1,23456789012346E16"},
                      // Rounding to 15 digits comes before the choice of form.
                      FloatCase{999999999999999.9, "1E15"}, FloatCase{9.999999999999999e-6, "0,00001"},
                      FloatCase{0.1234567890123456, "0,123456789012346"},
                      // Exact halves at the sixteenth digit go to the even neighbour.
                      FloatCase{1234567890123455.0, "1,23456789012346E15"},
                      FloatCase{1234567890123445.0, "1,23456789012344E15"}));

TEST(FloatToText, UsesTheGivenSeparator) {
    EXPECT_EQ(FloatToText(0.5, '.'), "0.5");
    EXPECT_EQ(FloatToText(1.5e20, '.'), "1.5E20");
}

TEST(FloatToText, NonFiniteValuesGiveWordsInsteadOfCrashing) {
    EXPECT_EQ(FloatToText(std::numeric_limits<double>::quiet_NaN(), ','), "NAN");
    EXPECT_EQ(FloatToText(std::numeric_limits<double>::infinity(), ','), "INF");
    EXPECT_EQ(FloatToText(-std::numeric_limits<double>::infinity(), ','), "-INF");
}

// Near the largest double the rounded text stood above it, failed to parse and read back as a default.
TEST(FloatToText, EveryTextReadsBackToTheValueRoundedTo15Digits) {
    constexpr double kMax = std::numeric_limits<double>::max();
    std::vector<double> values = {0.5,
                                  1.0 / 3,
                                  1e-7,
                                  1.5e20,
                                  -123.456,
                                  1e15,
                                  5e-324,
                                  1e308,
                                  kMax,
                                  -kMax,
                                  1.79769313486231e308,
                                  std::numeric_limits<double>::min()};
    // The top 50 doubles: about 35 of them round to a 15-digit text above the largest.
    for (double v = kMax; values.size() < 62; v = std::nextafter(v, 0.0))
        values.push_back(v);
    for (double v : values) {
        const auto back = ParseFloat(FloatToText(v, ','), ',');
        ASSERT_TRUE(back.has_value()) << FloatToText(v, ',');
        EXPECT_NEAR(*back, v, std::abs(v) * 1e-14) << FloatToText(v, ',');
    }
    EXPECT_EQ(FloatToText(kMax, ','), "1,79769313486231E308");
    EXPECT_EQ(FloatToText(-kMax, '.'), "-1.79769313486231E308");
}

TEST(FloatToTextFourDecimals, KeepsAtMostFourDecimals) {
    EXPECT_EQ(FloatToTextFourDecimals(0.5, ','), "0,5");
    EXPECT_EQ(FloatToTextFourDecimals(1.0 / 3, ','), "0,3333");
    EXPECT_EQ(FloatToTextFourDecimals(2.0 / 3, ','), "0,6667");
    EXPECT_EQ(FloatToTextFourDecimals(2, ','), "2");
    EXPECT_EQ(FloatToTextFourDecimals(0, ','), "0");
    EXPECT_EQ(FloatToTextFourDecimals(-0.25, ','), "-0,25");
    EXPECT_EQ(FloatToTextFourDecimals(12345.6789, ','), "12345,6789");
    EXPECT_EQ(FloatToTextFourDecimals(-1.99999, ','), "-2");
    EXPECT_EQ(FloatToTextFourDecimals(0.5, '.'), "0.5");
}

TEST(FloatToTextFourDecimals, TinyNegativesShowAsZeroWithoutSign) {
    EXPECT_EQ(FloatToTextFourDecimals(-0.00001, ','), "0");
    EXPECT_EQ(FloatToTextFourDecimals(-0.0, ','), "0");
}

TEST(FloatToTextFourDecimals, RoundsTheExactBinaryValueHalvesToEven) {
    EXPECT_EQ(FloatToTextFourDecimals(0.03125, ','), "0,0312"); // exact half: even neighbour
    EXPECT_EQ(FloatToTextFourDecimals(0.09375, ','), "0,0938");
    EXPECT_EQ(FloatToTextFourDecimals(0.00005, ','), "0,0001"); // binary value lies above the half
}

// Qt sets the C library's locale from LANG: under ru_RU.UTF-8 "%.4f" wrote "2,0000", and the
// coefficient window showed K as "2,".
TEST(NumberText, TheCLibrarysCommaLocaleChangesNoText) {
    const CommaLocale comma;
    if (!comma.Active())
        GTEST_SKIP() << "no Russian locale on this system";
    EXPECT_EQ(FloatToTextFourDecimals(2, ','), "2");
    EXPECT_EQ(FloatToTextFourDecimals(-1234.5678, '.'), "-1234.5678");
    EXPECT_EQ(FloatToText(1.5e20, '.'), "1.5E20");
    EXPECT_EQ(ParseFloatAnySeparator("-1,5E3"), -1500.0);
}

TEST(FloatToTextFourDecimals, NonFiniteValuesGiveWords) {
    EXPECT_EQ(FloatToTextFourDecimals(std::numeric_limits<double>::quiet_NaN(), ','), "NAN");
    EXPECT_EQ(FloatToTextFourDecimals(-std::numeric_limits<double>::infinity(), ','), "-INF");
}

struct ParseCase {
    const char* Text;
    std::optional<double> Value;
};

class ParseFloatTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseFloatTest, WithCommaSeparator) {
    EXPECT_EQ(ParseFloat(GetParam().Text, ','), GetParam().Value);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseFloatTest,
    ::testing::Values(
        ParseCase{"0,5", 0.5}, ParseCase{"  0,5\t", 0.5}, ParseCase{"-2,5", -2.5}, ParseCase{"+3", 3.0},
        ParseCase{"560", 560.0}, ParseCase{",5", 0.5}, ParseCase{"5,", 5.0}, ParseCase{"1E-7", 1e-7},
        ParseCase{"1,5E20", 1.5e20}, ParseCase{"2e+3", 2000.0}, ParseCase{"0,00001", 0.00001},
        // Anything else fails: the other separator, letters, partial numbers, blanks inside.
        ParseCase{"0.5", std::nullopt}, ParseCase{"", std::nullopt}, ParseCase{"   ", std::nullopt},
        ParseCase{"abc", std::nullopt}, ParseCase{"1,5x", std::nullopt}, ParseCase{"1 000", std::nullopt},
        ParseCase{"1e", std::nullopt}, ParseCase{"e5", std::nullopt}, ParseCase{",", std::nullopt},
        ParseCase{"--1", std::nullopt}, ParseCase{"1,2,3", std::nullopt}, ParseCase{"0x10", std::nullopt},
        ParseCase{"inf", std::nullopt}, ParseCase{"nan", std::nullopt},
        // Out of range is a failure, not infinity.
        ParseCase{"1e400", std::nullopt}, ParseCase{"-1E99999", std::nullopt}));

TEST(ParseFloat, FullStopSeparator) {
    EXPECT_EQ(ParseFloat("0.5", '.'), 0.5);
    EXPECT_EQ(ParseFloat("0,5", '.'), std::nullopt);
}

TEST(ParseFloatAnySeparator, AcceptsCommaOrFullStop) {
    EXPECT_EQ(ParseFloatAnySeparator("0,5"), 0.5);
    EXPECT_EQ(ParseFloatAnySeparator("0.5"), 0.5);
    EXPECT_EQ(ParseFloatAnySeparator(" -1.5E3 "), -1500.0);
    EXPECT_EQ(ParseFloatAnySeparator("1.5,2"), std::nullopt);
    EXPECT_EQ(ParseFloatAnySeparator("abc"), std::nullopt);
}

struct IntCase {
    const char* Text;
    std::optional<std::int32_t> Value;
};

class ParseIntTest : public ::testing::TestWithParam<IntCase> {};

TEST_P(ParseIntTest, AsTheSettingsFileReadsIt) {
    EXPECT_EQ(ParseInt(GetParam().Text), GetParam().Value);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseIntTest,
    ::testing::Values(IntCase{"200", 200}, IntCase{" -15 ", -15}, IntCase{"+7", 7}, IntCase{"007", 7},
                      IntCase{"$1F", 31}, IntCase{"0x1F", 31}, IntCase{"0X1f", 31},
                      IntCase{"$7FFFFFFF", 2147483647}, IntCase{"2147483647", 2147483647},
                      IntCase{"-2147483648", -2147483647 - 1}, IntCase{"0", 0}, IntCase{"0x", std::nullopt},
                      IntCase{"$", std::nullopt}, IntCase{"12,5", std::nullopt},
                      IntCase{"12.5", std::nullopt}, IntCase{"1e3", std::nullopt}, IntCase{"", std::nullopt},
                      IntCase{"-", std::nullopt}, IntCase{"0x1G", std::nullopt}, IntCase{"abc", std::nullopt},
                      IntCase{"2147483648", std::nullopt}, IntCase{"-2147483649", std::nullopt},
                      IntCase{"$80000000", std::nullopt}, IntCase{"99999999999999999999", std::nullopt}));

TEST(Trim, DropsBlanksAndControlCharactersAround) {
    EXPECT_EQ(Trim("  a b \t\r\n"), "a b");
    EXPECT_EQ(Trim(" \t "), "");
}

} // namespace
