#include "tuning/Calibration.h"

#include "common/Cp1251.h"
#include "support/RecordingMessages.h"
#include "support/TempFolder.h"
#include "tuning/Coefficients.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <vector>

namespace registrator::tuning {
namespace {

using support::ReadFileBytes;
using support::RecordingMessages;
using support::TempFolder;

class ApplyCalibrationTest : public ::testing::Test {
protected:
    ApplyCalibrationTest() {
        for (int n = 1; n <= channels::kChannelCount; ++n)
            ustavki[n] = channels::DefaultUstavka(n);
        entries = EntriesOf(ustavki[5], ',');
    }
    CalibrationOutcome Apply() {
        return ApplyCalibration(entries, ustavki, 5, file, common::RegionalSettings::Russian(), messages);
    }

    TempFolder folder;
    channels::SettingsFile file{folder.File("Registrator.INI"), common::RegionalSettings::Russian()};
    channels::UstavkiTable ustavki;
    CalibrationEntries entries;
    RecordingMessages messages;
};

TEST_F(ApplyCalibrationTest, TheFirstBadNumberEndsItKeepingWhatWasStoredBefore) {
    entries.Koof_K = "abc";
    EXPECT_EQ(Apply().BadField, CalibrationField::Koof_K);
    EXPECT_EQ(ustavki[5].Koof_K, 50);
    EXPECT_EQ(messages.Texts, std::vector<std::string>{"Ошибочная запись числа: abc"});

    entries.Koof_K = "60";
    entries.Koof_B = "x";
    entries.T_Nom = "700";
    const CalibrationOutcome outcome = Apply();
    EXPECT_EQ(outcome.BadField, CalibrationField::Koof_B);
    EXPECT_FALSE(outcome.Saved);
    EXPECT_EQ(ustavki[5].Koof_K, 60);
    EXPECT_EQ(ustavki[5].T_Nom, 560) << "a field after the bad one was looked at";
    EXPECT_EQ(messages.Texts.back(), "Ошибочная запись числа: x");
    EXPECT_FALSE(std::filesystem::exists(file.Path()));
}

TEST_F(ApplyCalibrationTest, TheSystemSeparatorAloneIsAcceptedAndTheMessageKeepsTheBlanks) {
    entries.Koof_K = " 0.5 ";
    EXPECT_EQ(Apply().BadField, CalibrationField::Koof_K);
    EXPECT_EQ(messages.Texts.back(), "Ошибочная запись числа:  0.5 ");
    entries.Koof_K = "  2,5 ";
    entries.Koof_B = "-1,25E1";
    EXPECT_TRUE(Apply().Saved);
    EXPECT_EQ(ustavki[5].Koof_K, 2.5);
    EXPECT_EQ(ustavki[5].Koof_B, -12.5);
}

TEST_F(ApplyCalibrationTest, EmptyThresholdsAndDigitsStopSilentlyWithoutWritingTheFile) {
    struct Case {
        std::string CalibrationEntries::*Empty;
        bool NameStored;
    };
    for (const Case c : {Case{&CalibrationEntries::T_Nom, false}, Case{&CalibrationEntries::T_Max, false},
                         Case{&CalibrationEntries::Moshn, true}, Case{&CalibrationEntries::Oborot, true}}) {
        ustavki[5] = channels::DefaultUstavka(5);
        entries = EntriesOf(ustavki[5], ',');
        entries.Koof_K = "7";
        entries.Name = "Пресс";
        entries.Moshn = "15";
        entries.*c.Empty = "";
        const CalibrationOutcome outcome = Apply();
        EXPECT_FALSE(outcome.Saved);
        EXPECT_FALSE(outcome.BadField);
        EXPECT_EQ(ustavki[5].Koof_K, 7);
        EXPECT_EQ(ustavki[5].Name.Utf8() == "Пресс", c.NameStored);
    }
    EXPECT_TRUE(messages.Texts.empty());
    EXPECT_FALSE(std::filesystem::exists(file.Path()));
}

TEST_F(ApplyCalibrationTest, AllValidWritesTheChannelsSectionWithTheNameCutTo50) {
    const std::string sixty = std::string(30, 'A') + "Дробилка тонкого помола 123456";
    entries = {sixty, "0,25", "3", "410,5", "480", "75", "40"};
    EXPECT_TRUE(Apply().Saved);
    const std::string fifty = std::string(30, 'A') + "Дробилка тонкого пом";
    EXPECT_EQ(ustavki[5].Name.Utf8(), fifty);
    const std::string text = ReadFileBytes(file.Path());
    const std::string name50 = common::Utf8ToCp1251(fifty);
    EXPECT_NE(
        text.find("[Ustavki5]\r\nName=" + name50 +
                  "\r\nKoof_K=0,25\r\nKoof_B=3\r\nT_Nom=410,5\r\nT_Max=480\r\nMoshn=75\r\nOborot=40\r\n"),
        std::string::npos)
        << text;
}

TEST_F(ApplyCalibrationTest, AFailedWriteThrowsWithTheValuesStillStored) {
    channels::SettingsFile nowhere((folder.Path() / "missing" / "Registrator.INI").string(),
                                   common::RegionalSettings::Russian());
    entries.Koof_K = "42";
    EXPECT_THROW(
        ApplyCalibration(entries, ustavki, 5, nowhere, common::RegionalSettings::Russian(), messages),
        channels::SettingsWriteError);
    EXPECT_EQ(ustavki[5].Koof_K, 42);
}

TEST(CoefficientsThrough, BComesFromTheStoredKAndAnOverflowIsNoCoefficient) {
    const LineCoefficients offset = CoefficientsThrough(100, 40, 300, 140);
    EXPECT_EQ(offset.K, 0.5);
    EXPECT_EQ(offset.B, 10); // y = 0.5x - 10 passes through both points
    EXPECT_EQ(AsShown(CoefficientsThrough(0, 0, 3, 1), ',').K, 0.3333);
    // Shown as INF it would be copied into the calibration and convert every reading to nonsense.
    try {
        CoefficientsThrough(0, -1e308, 1e-300, 1e308);
        ADD_FAILURE() << "no failure";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "Floating point overflow");
    }
}

} // namespace
} // namespace registrator::tuning
