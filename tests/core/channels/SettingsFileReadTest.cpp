#include "channels/SettingsFile.h"
#include "common/Cp1251.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>
#include <vector>

using namespace registrator::channels;
using registrator::common::RegionalSettings;
using registrator::support::ReadFileBytes;
using registrator::support::TempFolder;
using registrator::support::WriteFileBytes;

namespace {

RegionalSettings FullStopSettings() {
    RegionalSettings settings;
    settings.DecimalSeparator = '.';
    return settings;
}

class SettingsFileRead : public ::testing::Test {
protected:
    TempFolder folder_;
    std::string path_ = folder_.File("Registrator.INI");
    SettingsFile file_{path_, RegionalSettings::Russian()};
    UstavkiTable ustavki_;

    TUstavka LoadChannel(const std::string& iniText, int channel) {
        WriteFileBytes(path_, iniText);
        file_.LoadAll(ustavki_);
        return ustavki_[channel];
    }
};

void ExpectDefaults(const TUstavka& u, int channel) {
    EXPECT_EQ(u.Name.Utf8(), std::to_string(channel));
    EXPECT_EQ(u.Koof_K, 50);
    EXPECT_EQ(u.Koof_B, 1);
    EXPECT_EQ(u.T_Nom, 560);
    EXPECT_EQ(u.T_Max, 540);
    EXPECT_EQ(u.Moshn, 200);
    EXPECT_EQ(u.Oborot, 320);
}

TEST_F(SettingsFileRead, NoFileGivesEveryChannelItsDefaultsAndTheGaugeReaches72) {
    std::vector<int> progress;
    file_.LoadAll(ustavki_, [&](int channel) { progress.push_back(channel); });
    for (int n = 1; n <= kChannelCount; ++n)
        ExpectDefaults(ustavki_[n], n);
    ASSERT_EQ(progress.size(), 72u);
    for (int n = 1; n <= kChannelCount; ++n)
        EXPECT_EQ(progress[static_cast<std::size_t>(n - 1)], n);
}

TEST_F(SettingsFileRead, ASectionWithOnlyKoofBKeepsDefaultsForTheRest) {
    const TUstavka u = LoadChannel("[Ustavki5]\r\nKoof_B=2\r\n", 5);
    EXPECT_EQ(u.Koof_B, 2);
    EXPECT_EQ(u.Name.Utf8(), "5");
    EXPECT_EQ(u.Koof_K, 50);
    EXPECT_EQ(u.T_Nom, 560);
    EXPECT_EQ(u.T_Max, 540);
    EXPECT_EQ(u.Moshn, 200);
    EXPECT_EQ(u.Oborot, 320);
    ExpectDefaults(ustavki_[4], 4);
}

TEST_F(SettingsFileRead, ValuesThatDoNotParseTakeTheirDefaults) {
    const TUstavka u = LoadChannel("[Ustavki1]\r\nT_Nom=abc\r\nMoshn=12,5\r\nKoof_K=\r\nT_Max=1e999\r\n"
                                   "Oborot=3000000000\r\nKoof_B=1,5x\r\n",
                                   1);
    EXPECT_EQ(u.T_Nom, 560);
    EXPECT_EQ(u.Moshn, 200);
    EXPECT_EQ(u.Koof_K, 50);
    EXPECT_EQ(u.T_Max, 540);
    EXPECT_EQ(u.Oborot, 320);
    EXPECT_EQ(u.Koof_B, 1);
}

TEST_F(SettingsFileRead, IntegersInDecimalOrHexadecimal) {
    EXPECT_EQ(LoadChannel("[Ustavki2]\nMoshn=$1F\nOborot=0x1F\n", 2).Moshn, 31);
    EXPECT_EQ(ustavki_[2].Oborot, 31);
    EXPECT_EQ(LoadChannel("[Ustavki2]\nMoshn=-75\nOborot=0X10\n", 2).Moshn, -75);
    EXPECT_EQ(ustavki_[2].Oborot, 16);
}

TEST_F(SettingsFileRead, NumbersReadWithEitherSeparator) {
    EXPECT_EQ(LoadChannel("[Ustavki1]\nKoof_K=0,5\nKoof_B=0.25\nT_Nom=1,5E2\nT_Max=1.5E2\n", 1).Koof_K, 0.5);
    EXPECT_EQ(ustavki_[1].Koof_B, 0.25);
    EXPECT_EQ(ustavki_[1].T_Nom, 150);
    EXPECT_EQ(ustavki_[1].T_Max, 150);
}

TEST_F(SettingsFileRead, ACommaFileReadsTheSameUnderFullStopSettingsAndBack) {
    UstavkiTable saved;
    saved[1] = DefaultUstavka(1);
    saved[1].Koof_K = 0.5;
    file_.WriteChannel(saved, 1);
    EXPECT_NE(ReadFileBytes(path_).find("Koof_K=0,5\r\n"), std::string::npos);

    SettingsFile fullStop(path_, FullStopSettings());
    fullStop.ReadChannel(ustavki_, 1);
    EXPECT_EQ(ustavki_[1].Koof_K, 0.5);

    saved[1].Koof_B = 0.75;
    fullStop.WriteChannel(saved, 1);
    EXPECT_NE(ReadFileBytes(path_).find("Koof_B=0.75\r\n"), std::string::npos);
    file_.ReadChannel(ustavki_, 1);
    EXPECT_EQ(ustavki_[1].Koof_B, 0.75);
}

TEST_F(SettingsFileRead, PresentEmptyNameIsEmptyAndAbsentNameIsTheChannelNumber) {
    EXPECT_TRUE(LoadChannel("[Ustavki7]\r\nName=\r\n", 7).Name.Empty());
    EXPECT_EQ(LoadChannel("[Ustavki7]\r\nKoof_K=3\r\n", 7).Name.Utf8(), "7");
}

TEST_F(SettingsFileRead, LongNamesAreCutTo50Characters) {
    std::string name;
    for (int i = 0; i < 70; ++i)
        name += static_cast<char>(0xC0 + i % 32); // Cyrillic letters in Windows-1251
    const TUstavka u = LoadChannel("[Ustavki9]\r\nName=" + name + "\r\n", 9);
    EXPECT_EQ(u.Name.Cp1251(), name.substr(0, 50));
}

TEST_F(SettingsFileRead, NamesAreWindows1251AndBlanksAroundValuesAreDropped) {
    const std::string nasos = registrator::common::Utf8ToCp1251("Насос 1");
    const TUstavka u = LoadChannel("[Ustavki3]\r\nName=   " + nasos + "  \r\nT_Nom  =  600 \r\n", 3);
    EXPECT_EQ(u.Name.Utf8(), "Насос 1");
    EXPECT_EQ(u.T_Nom, 600);
}

TEST_F(SettingsFileRead, NamesAreMatchedWithoutRegardToCase) {
    const TUstavka u = LoadChannel("[USTAVKI12]\nkoof_k=7\nNAME=x\nt_nom=9\n", 12);
    EXPECT_EQ(u.Koof_K, 7);
    EXPECT_EQ(u.Name.Utf8(), "x");
    EXPECT_EQ(u.T_Nom, 9);
}

TEST_F(SettingsFileRead, OtherSectionsCommentsAndSimilarNamesDoNotLeakIn) {
    const TUstavka u = LoadChannel("Koof_K=1\n[Ustavki10]\nKoof_K=10\n[Ustavki1]\n;Koof_B=5\nKoof_K=2\n"
                                   "[Ustavki1]\nKoof_K=3\nT_Nom=4\n",
                                   1);
    EXPECT_EQ(u.Koof_K, 2);  // the first of two like sections wins
    EXPECT_EQ(u.Koof_B, 1);  // a comment is no key
    EXPECT_EQ(u.T_Nom, 560); // keys of the second like section are not seen
    EXPECT_EQ(ustavki_[10].Koof_K, 10);
}

TEST_F(SettingsFileRead, ReadOneChannelLeavesTheOthersAlone) {
    WriteFileBytes(path_, "[Ustavki4]\nKoof_K=4\n");
    ResetForLoading(ustavki_);
    file_.ReadChannel(ustavki_, 4);
    EXPECT_EQ(ustavki_[4].Koof_K, 4);
    EXPECT_EQ(ustavki_[3].Name.Utf8(), " ");
    EXPECT_EQ(ustavki_[3].Koof_K, 0);
}

TEST_F(SettingsFileRead, APathThatIsAFolderLoadsDefaults) {
    std::filesystem::create_directory(path_);
    file_.LoadAll(ustavki_);
    ExpectDefaults(ustavki_[72], 72);
}

TEST(ProgramTitle, FileNameUpToItsFirstFullStopRestInLowerCase) {
    EXPECT_EQ(ProgramTitle("/x/y/REGISTRATOR.EXE"), "Registrator");
    EXPECT_EQ(ProgramTitle("registrator"), "registrator");
    EXPECT_EQ(ProgramTitle("/opt/Registrator"), "Registrator");
    EXPECT_EQ(ProgramTitle("my.app.exe"), "my");
    EXPECT_EQ(ProgramTitle("C:\\Plant\\REG2.EXE"), "Reg2");
    EXPECT_EQ(ProgramTitle("C:\\Plant/sub\\MiXeD.exe"), "Mixed");
    // Only ASCII was lowered: a Cyrillic executable name gave a settings file of another name.
    EXPECT_EQ(ProgramTitle("/opt/РЕГИСТРАТОР.EXE"), "Регистратор");
    EXPECT_EQ(ProgramTitle("/opt/ЁЖИК-ЇЄІ Ґ.bin"), "Ёжик-їєі ґ");
    EXPECT_EQ(ProgramTitle("ÉTUDE ΣΤΆΘΜΗ"), "Étude στάθμη");
    EXPECT_EQ(ProgramTitle("щИТ"), "щит");
    EXPECT_EQ(ProgramTitle("A\xFF\xD0"
                           "B"),
              "A\xFF\xD0"
              "b"); // malformed bytes pass through
}

TEST(ProgramTitle, FolderKeepsItsSeparator) {
    EXPECT_EQ(FolderOf("/x/y/REGISTRATOR.EXE"), "/x/y/");
    EXPECT_EQ(FolderOf("C:\\Plant\\REG.EXE"), "C:\\Plant\\");
    EXPECT_EQ(FolderOf("Registrator"), "");
}

} // namespace
