#include "channels/SettingsFile.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>
#include <tuple>

namespace registrator::channels {
namespace {

using support::ReadFileBytes;
using support::WriteFileBytes;

TEST(OwnKeys, TheSupplyKeysLiveBesideTheSevenAndEachSideLeavesTheOtherAlone) {
    support::TempFolder folder;
    const std::string path = folder.File("Registrator.INI");
    const std::string seventh =
        "[Ustavki7]\r\nName=Dust fan\r\nKoof_K=2\r\nKoof_B=0\r\nT_Nom=80\r\nT_Max=120\r\n"
        "Moshn=75\r\nOborot=5\r\nStartWindow=25\r\nLineVoltage=6000\r\nPowerFactor=0,9\r\n";
    WriteFileBytes(path, seventh + "[Ustavki8]\r\nT_Nom=50\r\nLineVoltage=abc\r\nPowerFactor=1,5\r\n");
    SettingsFile file(path, common::RegionalSettings::Russian());

    UstavkiTable ustavki;
    file.LoadAll(ustavki);
    ustavki[7].T_Nom = 90;
    file.SaveAll(ustavki);
    const std::string saved = ReadFileBytes(path);
    EXPECT_NE(
        saved.find("T_Nom=90\r\nT_Max=120\r\nMoshn=75\r\nOborot=5\r\nStartWindow=25\r\nLineVoltage=6000\r\n"
                   "PowerFactor=0,9\r\n"),
        std::string::npos)
        << "a save of the seven changed our keys:\n"
        << saved.substr(0, 300);

    file.WriteSupply(9, {400, 0.82});
    const std::string written = ReadFileBytes(path);
    EXPECT_EQ(written.substr(0, saved.find("[Ustavki9]")), saved.substr(0, saved.find("[Ustavki9]")));
    UstavkiTable again;
    file.LoadAll(again);
    for (int n = 1; n <= kChannelCount; ++n) {
        EXPECT_EQ(again[n].Name.Utf8(), ustavki[n].Name.Utf8()) << n;
        EXPECT_EQ(again[n].T_Nom, ustavki[n].T_Nom) << n;
        EXPECT_EQ(again[n].Oborot, ustavki[n].Oborot) << n;
        EXPECT_EQ(again[n].Koof_K, ustavki[n].Koof_K) << n;
    }
    EXPECT_EQ(file.ReadStartWindows(10)[7], 25);

    const auto supplies = file.ReadSupplies();
    EXPECT_EQ(supplies[7].LineVoltage, 6000);
    EXPECT_EQ(supplies[7].PowerFactor, 0.9);
    EXPECT_EQ(supplies[9].LineVoltage, 400);
    EXPECT_EQ(supplies[9].PowerFactor, 0.82);
    // Not a number, or no power factor at all: the defaults.
    EXPECT_EQ(supplies[8].LineVoltage, 380);
    EXPECT_EQ(supplies[8].PowerFactor, 0.85);
    EXPECT_EQ(supplies[1].LineVoltage, 380);
}

TEST(OwnKeys, ShiftStartsComeFromTheirSectionInOrderElseTheTwoDefaults) {
    support::TempFolder folder;
    const std::string path = folder.File("Registrator.INI");
    const SettingsFile file(path, common::RegionalSettings::Russian());
    const std::vector<int> fallback = {8 * 60, 20 * 60};
    EXPECT_EQ(file.ReadShiftStarts(), fallback) << "no file";
    for (const auto& [value, expected] : std::vector<std::pair<std::string, std::vector<int>>>{
             {"23:00, 07:00,15:30", {7 * 60, 15 * 60 + 30, 23 * 60}},
             {"6", {6 * 60}},
             {"08:00,25:00", fallback},
             {"08:00,08:00", fallback},
             {"", fallback},
         }) {
        WriteFileBytes(path, "[Ustavki1]\r\nT_Nom=5\r\n[Shifts]\r\nStarts=" + value + "\r\n");
        EXPECT_EQ(file.ReadShiftStarts(), expected) << value;
    }
}

TEST(OwnKeys, TheHealthMarginRoundTripsAndAnythingOutOfRangeIsTheDefaultSaidSo) {
    support::TempFolder folder;
    const std::string path = folder.File("Registrator.INI");
    SettingsFile file(path, common::RegionalSettings::Russian());
    EXPECT_EQ(file.ReadHealthMargin().Percent, 25) << "no file";
    EXPECT_FALSE(file.ReadHealthMargin().Refused);

    const std::string seven = "[Ustavki1]\r\nName=Fan\r\nT_Nom=50\r\n";
    WriteFileBytes(path, seven);
    file.WriteHealthMargin(40);
    EXPECT_EQ(ReadFileBytes(path), seven + "[Health]\r\nMargin=40\r\n");
    EXPECT_EQ(file.ReadHealthMargin().Percent, 40);
    EXPECT_EQ(file.ReadHealthMargin().Share(), 0.4);
    file.WriteHealthMargin(30);
    EXPECT_EQ(ReadFileBytes(path), seven + "[Health]\r\nMargin=30\r\n") << "the key replaced, not added";

    for (const auto& [value, percent, refused] :
         std::vector<std::tuple<std::string, int, bool>>{{"5", 5, false},
                                                         {"200", 200, false},
                                                         {" 60 ", 60, false},
                                                         {"4", 25, true},
                                                         {"201", 25, true},
                                                         {"-30", 25, true},
                                                         {"25%", 25, true},
                                                         {"0,3", 25, true},
                                                         {"", 25, true}}) {
        WriteFileBytes(path, seven + "[health]\r\nmargin=" + value + "\r\n");
        const HealthMargin margin = file.ReadHealthMargin();
        EXPECT_EQ(margin.Percent, percent) << value;
        EXPECT_EQ(margin.Refused.has_value(), refused) << value;
        if (refused) {
            EXPECT_EQ(*margin.Refused, value) << "the window shows what it refused";
        }
    }
    UstavkiTable ustavki;
    file.LoadAll(ustavki);
    file.SaveAll(ustavki);
    EXPECT_NE(ReadFileBytes(path).find("[health]\r\nmargin=\r\n"), std::string::npos)
        << "a save of the channels keeps the section";
}

} // namespace
} // namespace registrator::channels
