#include "monitor/PanelState.h"

#include "monitor/AvgCountText.h"

#include <gtest/gtest.h>

namespace registrator::monitor {
namespace {

channels::TUstavka Thresholds(double nominal, double critical, int oborot) {
    channels::TUstavka u;
    u.T_Nom = nominal;
    u.T_Max = critical;
    u.Oborot = oborot;
    return u;
}

struct ColourCase {
    double Value;
    double Nominal;
    double Critical;
    int Oborot;
    PanelState Expected;
};

class PanelColouring : public ::testing::TestWithParam<ColourCase> {};

TEST_P(PanelColouring, FirstStrictComparisonThatHoldsDecides) {
    const ColourCase& c = GetParam();
    EXPECT_EQ(ClassifyReading(c.Value, Thresholds(c.Nominal, c.Critical, c.Oborot)), c.Expected)
        << "value " << c.Value << " nominal " << c.Nominal << " critical " << c.Critical << " off "
        << c.Oborot;
}

INSTANTIATE_TEST_SUITE_P(Boundaries, PanelColouring,
                         ::testing::Values(
                             // Nominal below critical: all four states.
                             ColourCase{601, 500, 600, 100, PanelState::Overloaded},
                             ColourCase{600, 500, 600, 100, PanelState::Unchanged},
                             ColourCase{599, 500, 600, 100, PanelState::AboveNominal},
                             ColourCase{500, 500, 600, 100, PanelState::Unchanged},
                             ColourCase{499, 500, 600, 100, PanelState::Running},
                             ColourCase{101, 500, 600, 100, PanelState::Running},
                             ColourCase{100, 500, 600, 100, PanelState::Off},
                             ColourCase{0, 500, 600, 100, PanelState::Off},
                             // The file defaults: critical 540 below nominal 560, so yellow never shows.
                             ColourCase{541, 560, 540, 320, PanelState::Overloaded},
                             ColourCase{560, 560, 540, 320, PanelState::Overloaded},
                             ColourCase{540, 560, 540, 320, PanelState::Running},
                             ColourCase{321, 560, 540, 320, PanelState::Running},
                             ColourCase{320, 560, 540, 320, PanelState::Off},
                             // A switch-off current above nominal: below nominal is always "off".
                             ColourCase{450, 500, 600, 700, PanelState::Off},
                             // Everything zero, as before the settings are loaded.
                             ColourCase{0, 0, 0, 0, PanelState::Unchanged}));

TEST(CurrentLabelText, WholeAmperesWithoutSignDecimalsOrLeadingZeros) {
    EXPECT_EQ(CurrentLabelText(0), "0");
    EXPECT_EQ(CurrentLabelText(49), "49");
    EXPECT_EQ(CurrentLabelText(51149), "51149");
    EXPECT_EQ(CurrentLabelText(2.5), "2");
    EXPECT_EQ(CurrentLabelText(3.5), "4");
}

TEST(AvgCountText, DecimalCountsUpTo255WithBlanksAround) {
    EXPECT_EQ(ParseAvgCount("  5"), std::optional<std::uint8_t>(5));
    EXPECT_EQ(ParseAvgCount("0"), std::optional<std::uint8_t>(0));
    EXPECT_EQ(ParseAvgCount("255"), std::optional<std::uint8_t>(255));
    EXPECT_EQ(ParseAvgCount("007"), std::optional<std::uint8_t>(7));
    EXPECT_FALSE(ParseAvgCount("256"));
    EXPECT_FALSE(ParseAvgCount("300"));
    EXPECT_FALSE(ParseAvgCount(""));
    EXPECT_FALSE(ParseAvgCount("   "));
    EXPECT_FALSE(ParseAvgCount("1 2"));
    EXPECT_FALSE(ParseAvgCount("-1"));
    EXPECT_FALSE(ParseAvgCount("$1F"));
}

} // namespace
} // namespace registrator::monitor
