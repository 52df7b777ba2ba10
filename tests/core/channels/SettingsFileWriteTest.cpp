#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>
#include <vector>

#ifndef _WIN32
#include <grp.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "channels/SettingsFile.h"
#include "common/AtomicFile.h"
#include "common/Cp1251.h"
#include "common/DateTime.h"
#include "support/TempFolder.h"

using namespace registrator::channels;
using registrator::common::RegionalSettings;
using registrator::support::ReadFileBytes;
using registrator::support::TempFolder;
using registrator::support::WriteFileBytes;
namespace fs = std::filesystem;

namespace {

std::string DefaultSection(int n, const std::string& eol) {
    const std::string s = std::to_string(n);
    return "[Ustavki" + s + "]" + eol + "Name=" + s + eol + "Koof_K=50" + eol + "Koof_B=1" + eol +
           "T_Nom=560" + eol + "T_Max=540" + eol + "Moshn=200" + eol + "Oborot=320" + eol;
}

// A saved file: `first` as channel 1's section, the other channels' default sections after it, CRLF.
std::string WithDefaultsAfter(std::string first) {
    for (int n = 2; n <= kChannelCount; ++n)
        first += DefaultSection(n, "\r\n");
    return first;
}

UstavkiTable Defaults() {
    UstavkiTable table;
    for (int n = 1; n <= kChannelCount; ++n)
        table[n] = DefaultUstavka(n);
    return table;
}

class SettingsFileWrite : public ::testing::Test {
protected:
    TempFolder folder_;
    std::string path_ = folder_.File("Registrator.INI");
    SettingsFile file_{path_, RegionalSettings::Russian()};
    UstavkiTable ustavki_ = Defaults();
};

TEST_F(SettingsFileWrite, ANewFileHoldsTheKeysInOrderWithCrlf) {
    std::vector<int> progress;
    file_.SaveAll(ustavki_, [&](int channel) { progress.push_back(channel); });
    const std::string text = ReadFileBytes(path_);
    EXPECT_EQ(text.substr(0, DefaultSection(1, "\r\n").size() + 12),
              "[Ustavki1]\r\nName=1\r\nKoof_K=50\r\nKoof_B=1\r\nT_Nom=560\r\nT_Max=540\r\nMoshn="
              "200\r\nOborot=320\r\n"
              "[Ustavki2]\r\n");
    std::string all;
    for (int n = 1; n <= kChannelCount; ++n)
        all += DefaultSection(n, "\r\n");
    EXPECT_EQ(text, all);
    ASSERT_EQ(progress.size(), 72u);
    EXPECT_EQ(progress.front(), 1);
    EXPECT_EQ(progress.back(), 72);
    EXPECT_FALSE(fs::exists(registrator::common::TemporaryPathFor(path_)));
}

TEST_F(SettingsFileWrite, NumbersAreWrittenInTheShortestForm) {
    ustavki_[1].Koof_K = 0.5;
    ustavki_[1].Koof_B = -2.5;
    ustavki_[1].T_Nom = 1e-7;
    ustavki_[1].T_Max = 1.5e20;
    ustavki_[1].Moshn = -15;
    ustavki_[1].Oborot = 0;
    file_.WriteChannel(ustavki_, 1);
    EXPECT_EQ(ReadFileBytes(path_), "[Ustavki1]\r\nName=1\r\nKoof_K=0,5\r\nKoof_B=-2,5\r\nT_Nom=1E-7\r\n"
                                    "T_Max=1,5E20\r\nMoshn=-15\r\nOborot=0\r\n");
}

TEST_F(SettingsFileWrite, EverythingSavedLoadsBack) {
    for (int n = 1; n <= kChannelCount; ++n) {
        ustavki_[n].Name = registrator::common::MotorName::FromUtf8("Насос №" + std::to_string(n));
        ustavki_[n].Koof_K = 0.25 * n;
        ustavki_[n].Koof_B = -n;
        ustavki_[n].T_Nom = 100.125 + n;
        ustavki_[n].T_Max = n / 1e6; // nearest double to the text n·10⁻⁶
        ustavki_[n].Moshn = -n;
        ustavki_[n].Oborot = 1000 * n;
    }
    ustavki_[72].Name = registrator::common::MotorName{};
    file_.SaveAll(ustavki_);
    UstavkiTable loaded;
    file_.LoadAll(loaded);
    for (int n = 1; n <= kChannelCount; ++n) {
        EXPECT_EQ(loaded[n].Name, ustavki_[n].Name) << n;
        EXPECT_EQ(loaded[n].Koof_K, ustavki_[n].Koof_K) << n;
        EXPECT_EQ(loaded[n].Koof_B, ustavki_[n].Koof_B) << n;
        EXPECT_EQ(loaded[n].T_Nom, ustavki_[n].T_Nom) << n;
        EXPECT_EQ(loaded[n].T_Max, ustavki_[n].T_Max) << n;
        EXPECT_EQ(loaded[n].Moshn, ustavki_[n].Moshn) << n;
        EXPECT_EQ(loaded[n].Oborot, ustavki_[n].Oborot) << n;
    }
    EXPECT_TRUE(loaded[72].Name.Empty());
    // Names are Windows-1251 bytes in the file.
    EXPECT_NE(ReadFileBytes(path_).find("Name=" + registrator::common::Utf8ToCp1251("Насос №3") + "\r\n"),
              std::string::npos);
}

TEST_F(SettingsFileWrite, OtherLinesAndLfEndingsStayByteForByte) {
    WriteFileBytes(path_,
                   "; plant settings\n[General]\nLanguage=ru\n\n[ustavki1]\nkoof_k = 7\nExtra=keep me\n"
                   "Name=Old\n\n[Ustavki3]\nT_Nom=600");
    ustavki_[1].Name = registrator::common::MotorName::FromCp1251("New");
    ustavki_[1].Koof_K = 7;
    file_.WriteChannel(ustavki_, 1);
    // Present keys keep their place (an unchanged value keeps its line as it was); missing keys follow
    // the section's last line, in the file's order.
    EXPECT_EQ(ReadFileBytes(path_), "; plant settings\n[General]\nLanguage=ru\n\n[ustavki1]\nkoof_k = 7\n"
                                    "Extra=keep me\nName=New\nKoof_B=1\nT_Nom=560\nT_Max=540\nMoshn=200\n"
                                    "Oborot=320\n\n[Ustavki3]\nT_Nom=600");

    ustavki_[1].Koof_K = 0.5;
    file_.WriteChannel(ustavki_, 3);
    file_.WriteChannel(ustavki_, 1);
    EXPECT_EQ(ReadFileBytes(path_), "; plant settings\n[General]\nLanguage=ru\n\n[ustavki1]\nkoof_k=0,5\n"
                                    "Extra=keep me\nName=New\nKoof_B=1\nT_Nom=560\nT_Max=540\nMoshn=200\n"
                                    "Oborot=320\n\n[Ustavki3]\nT_Nom=560\nName=3\nKoof_K=50\nKoof_B=1\n"
                                    "T_Max=540\nMoshn=200\nOborot=320\n");
}

TEST_F(SettingsFileWrite, CrlfFilesKeepCrlfAndMissingSectionsGoAtTheEnd) {
    const std::string before = "[Other]\r\nA=1\r\n\r\n[Ustavki2]\r\nName=Two\r\n";
    WriteFileBytes(path_, before);
    ustavki_[2].Name = registrator::common::MotorName::FromCp1251("Two");
    file_.WriteChannel(ustavki_, 2);
    file_.WriteChannel(ustavki_, 1);
    EXPECT_EQ(ReadFileBytes(path_),
              "[Other]\r\nA=1\r\n\r\n[Ustavki2]\r\nName=Two\r\nKoof_K=50\r\nKoof_B=1\r\n"
              "T_Nom=560\r\nT_Max=540\r\nMoshn=200\r\nOborot=320\r\n" +
                  DefaultSection(1, "\r\n"));
}

// A CR-only file read as one line: its values were lost and a save appended CRLF sections to it.
TEST_F(SettingsFileWrite, CrOnlyFilesReadTheirValuesAndKeepTheirEndings) {
    const std::string before = "[Ustavki1]\rName=Pump\rKoof_K=7\r[Other]\rA=1\r";
    WriteFileBytes(path_, before);
    file_.LoadAll(ustavki_);
    EXPECT_EQ(ustavki_[1].Name.Cp1251(), "Pump");
    EXPECT_EQ(ustavki_[1].Koof_K, 7);

    file_.WriteChannel(ustavki_, 1);
    file_.WriteChannel(ustavki_, 2);
    EXPECT_EQ(ReadFileBytes(path_), "[Ustavki1]\rName=Pump\rKoof_K=7\rKoof_B=1\rT_Nom=560\rT_Max=540\r"
                                    "Moshn=200\rOborot=320\r[Other]\rA=1\r" +
                                        DefaultSection(2, "\r"));
}

TEST_F(SettingsFileWrite, SavingAllTwiceChangesNothing) {
    WriteFileBytes(path_, "[Extra]\nx=1\n");
    file_.SaveAll(ustavki_);
    const std::string first = ReadFileBytes(path_);
    file_.SaveAll(ustavki_);
    EXPECT_EQ(ReadFileBytes(path_), first);
    EXPECT_EQ(first.rfind("[Extra]\nx=1\n[Ustavki1]\nName=1\n", 0), 0u);
}

TEST_F(SettingsFileWrite, ALineBreakInANameCannotAddKeys) {
    ustavki_[1].Name = registrator::common::MotorName::FromCp1251("a\r\n[Ustavki2]\r\nKoof_K=0");
    file_.SaveAll(ustavki_);
    UstavkiTable loaded;
    file_.LoadAll(loaded);
    EXPECT_EQ(loaded[2].Koof_K, 50);
    EXPECT_EQ(loaded[1].Name.Cp1251(), "a  [Ustavki2]  Koof_K=0");
}

// Files saved elsewhere: after a save the whole file is Windows-1251.

// The mark glued onto the first line: channel 1 ran on its defaults and a save added a second [Ustavki1].
TEST_F(SettingsFileWrite, AByteOrderMarkHidesNoSectionAndIsNotSaved) {
    WriteFileBytes(path_, "\xEF\xBB\xBF[Ustavki1]\r\nKoof_K=7\r\n");
    file_.LoadAll(ustavki_);
    EXPECT_EQ(ustavki_[1].Koof_K, 7);
    file_.SaveAll(ustavki_);
    EXPECT_EQ(ReadFileBytes(path_),
              WithDefaultsAfter("[Ustavki1]\r\nKoof_K=7\r\nName=1\r\nKoof_B=1\r\nT_Nom=560\r\n"
                                "T_Max=540\r\nMoshn=200\r\nOborot=320\r\n"));
}

// A UTF-8 file's names were loaded as byte pairs cut at 25 letters and saved over the whole ones.
TEST_F(SettingsFileWrite, AUtf8FileIsSavedAsWindows1251WithItsNamesWhole) {
    const std::string name = "Двигатель вентилятора дымососа котла №12";
    WriteFileBytes(path_, "; Щит 2\n[Ustavki1]\nName=" + name + "\nKoof_K=7\n");
    file_.LoadAll(ustavki_);
    file_.SaveAll(ustavki_);
    std::string expected = "; Щит 2\n[Ustavki1]\nName=" + name +
                           "\nKoof_K=7\nKoof_B=1\nT_Nom=560\nT_Max=540\nMoshn=200\nOborot=320\n";
    for (int n = 2; n <= kChannelCount; ++n)
        expected += DefaultSection(n, "\n");
    EXPECT_EQ(ReadFileBytes(path_), registrator::common::Utf8ToCp1251(expected));
    UstavkiTable loaded;
    file_.LoadAll(loaded);
    EXPECT_EQ(loaded[1].Name.Utf8(), name);
}

// Taken for UTF-8, a Windows-1251 file would lose its Cyrillic to question marks.
TEST_F(SettingsFileWrite, AWindows1251FileIsReadAndSavedByteForByte) {
    std::string before = registrator::common::Utf8ToCp1251("; Щит 2\r\n");
    for (int n = 1; n <= kChannelCount; ++n)
        before += DefaultSection(n, "\r\n");
    before.replace(before.find("Name=1\r"), 6, "Name=" + registrator::common::Utf8ToCp1251("Дымосос №1"));
    WriteFileBytes(path_, before);
    file_.LoadAll(ustavki_);
    EXPECT_EQ(ustavki_[1].Name.Utf8(), "Дымосос №1");
    file_.SaveAll(ustavki_);
    EXPECT_EQ(ReadFileBytes(path_), before);
}

// A UTF-16 file read as defaults, and the save appended 72 Windows-1251 sections to it, with lone CRs.
TEST_F(SettingsFileWrite, AUtf16FileIsReadAndSavedAsWindows1251) {
    std::string utf16 = "\xFF\xFE";
    for (const char16_t unit : std::u16string_view(u"[Ustavki1]\r\nName=Насос\r\nKoof_K=0,5\r\n"))
        utf16 += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    WriteFileBytes(path_, utf16);
    EXPECT_EQ(file_.LoadAll(ustavki_), SettingsLoad::Read);
    EXPECT_EQ(ustavki_[1].Name.Utf8(), "Насос");
    EXPECT_EQ(ustavki_[1].Koof_K, 0.5);
    file_.SaveAll(ustavki_);
    EXPECT_EQ(ReadFileBytes(path_),
              registrator::common::Utf8ToCp1251(WithDefaultsAfter(
                  "[Ustavki1]\r\nName=Насос\r\nKoof_K=0,5\r\nKoof_B=1\r\nT_Nom=560\r\nT_Max=540\r\n"
                  "Moshn=200\r\nOborot=320\r\n")));
}

// A binary file gave every channel its defaults in silence, and each save appended to it.
TEST_F(SettingsFileWrite, AFileOfNoTextIsNeverWrittenToUntilSetAsideUnderANewName) {
    const std::string binary("\x7F"
                             "ELF\x02\x01\x01\x00\x00\x00[Ustavki1]\x00\x03\x00>\x00",
                             24);
    WriteFileBytes(path_, binary);
    EXPECT_EQ(file_.LoadAll(ustavki_), SettingsLoad::NotText);
    EXPECT_EQ(ustavki_[1].Koof_K, 50);
    EXPECT_THROW(file_.SaveAll(ustavki_), SettingsWriteError);
    EXPECT_THROW(file_.WriteChannel(ustavki_, 1), SettingsWriteError);
    EXPECT_EQ(ReadFileBytes(path_), binary);

    const auto day = registrator::common::EncodeDate(2026, 12, 6);
    EXPECT_EQ(file_.SetAside(day), path_ + ".unreadable-2026-12-06");
    file_.SaveAll(ustavki_);
    EXPECT_EQ(ReadFileBytes(path_).rfind(DefaultSection(1, "\r\n") + "[Ustavki2]", 0), 0u);
    // The same day again: beside the first, never over it.
    WriteFileBytes(path_, std::string(100, '\0'));
    EXPECT_EQ(file_.LoadAll(ustavki_), SettingsLoad::NotText);
    EXPECT_EQ(file_.SetAside(day), path_ + ".unreadable-2026-12-06-2");
    EXPECT_EQ(ReadFileBytes(path_ + ".unreadable-2026-12-06"), binary);
    EXPECT_EQ(ReadFileBytes(path_ + ".unreadable-2026-12-06-2"), std::string(100, '\0'));
    EXPECT_FALSE(fs::exists(path_));

    // A text file with a stray control byte still gives the channels it holds, and keeps the byte.
    const std::string stray("\x01\x00\r\n", 4);
    WriteFileBytes(path_, "[Ustavki1]\r\nKoof_K=7\r\n" + stray);
    EXPECT_EQ(file_.LoadAll(ustavki_), SettingsLoad::Read);
    EXPECT_EQ(ustavki_[1].Koof_K, 7);
    file_.SaveAll(ustavki_);
    EXPECT_NE(ReadFileBytes(path_).find(stray), std::string::npos);
}

TEST_F(SettingsFileWrite, AMissingFolderRaisesTheWriteError) {
    const std::string path = folder_.File("no such folder/Registrator.INI");
    SettingsFile file(path, RegionalSettings::Russian());
    std::vector<int> progress;
    try {
        file.SaveAll(ustavki_, [&](int channel) { progress.push_back(channel); });
        FAIL() << "no error";
    } catch (const SettingsWriteError& error) {
        EXPECT_EQ(std::string(error.what()), "Unable to write to " + path);
        EXPECT_EQ(error.Path(), path);
    }
    EXPECT_TRUE(progress.empty() || progress.back() < 72);
    EXPECT_THROW(file.WriteChannel(ustavki_, 1), SettingsWriteError);
    EXPECT_FALSE(fs::exists(folder_.Path() / "no such folder"));
}

TEST_F(SettingsFileWrite, APathThatIsAFolderRaisesTheWriteErrorAndStaysAFolder) {
    fs::create_directory(path_);
    WriteFileBytes(path_ + "/inside.txt", "kept");
    EXPECT_THROW(file_.SaveAll(ustavki_), SettingsWriteError);
    EXPECT_THROW(file_.WriteChannel(ustavki_, 5), SettingsWriteError);
    EXPECT_TRUE(fs::is_directory(path_));
    EXPECT_EQ(ReadFileBytes(path_ + "/inside.txt"), "kept");
}

#ifndef _WIN32
// Root may write any file, so the cases where this user may not write run as "nobody" under root.
struct OtherUser {
    uid_t Uid = ::geteuid();
    gid_t Gid = ::getegid();
    bool Differs = false;
};

OtherUser UserForDeniedWrites() {
    OtherUser user;
    if (::geteuid() == 0)
        if (const passwd* nobody = ::getpwnam("nobody")) {
            user.Uid = nobody->pw_uid;
            user.Gid = nobody->pw_gid;
            user.Differs = true;
        }
    return user;
}

// The save's outcome in a child process run as `user`: 0 saved, 1 the write error, 2 anything else.
int SaveAsUser(const OtherUser& user, const std::function<void()>& save) {
    const pid_t child = fork();
    if (child == 0) {
        if (user.Differs &&
            (::setgroups(0, nullptr) != 0 || ::setgid(user.Gid) != 0 || ::setuid(user.Uid) != 0))
            _exit(3);
        try {
            save();
            _exit(0);
        } catch (const SettingsWriteError&) {
            _exit(1);
        } catch (...) {
            _exit(2);
        }
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}
#else
struct OtherUser {};

OtherUser UserForDeniedWrites() {
    return {};
}

int SaveAsUser(const OtherUser&, const std::function<void()>& save) {
    try {
        save();
        return 0;
    } catch (const SettingsWriteError&) {
        return 1;
    }
}
#endif

TEST_F(SettingsFileWrite, AReadOnlyFileIsNotReplaced) {
    const std::string before = "[Ustavki1]\r\nKoof_K=3\r\n";
    WriteFileBytes(path_, before);
    fs::permissions(path_, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    ustavki_[1].Koof_K = 4;
    const OtherUser user = UserForDeniedWrites();
    EXPECT_EQ(SaveAsUser(user, [&] { file_.WriteChannel(ustavki_, 1); }), 1);
    EXPECT_EQ(SaveAsUser(user, [&] { file_.SaveAll(ustavki_); }), 1);
    EXPECT_EQ(ReadFileBytes(path_), before);
    fs::permissions(path_, fs::perms::owner_write, fs::perm_options::add);
}

#ifndef _WIN32

// The write was judged by permission bits alone: a file of another user, in a folder that this user
// may write, was replaced and became this user's.
TEST_F(SettingsFileWrite, WhetherThisProcessMayWriteTheFileDecidesNotItsPermissionBits) {
    const OtherUser user = UserForDeniedWrites();
    if (!user.Differs)
        GTEST_SKIP() << "a file of another user needs root to set up";
    fs::permissions(folder_.Path(), fs::perms::all);
    const std::string before = "[Ustavki1]\r\nKoof_K=3\r\n";
    WriteFileBytes(path_, before);
    fs::permissions(path_, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                               fs::perms::others_read);
    ustavki_[1].Koof_K = 4;
    EXPECT_EQ(SaveAsUser(user, [&] { file_.SaveAll(ustavki_); }), 1);
    EXPECT_EQ(SaveAsUser(user, [&] { file_.WriteChannel(ustavki_, 1); }), 1);
    EXPECT_EQ(ReadFileBytes(path_), before);
    struct stat st;
    ASSERT_EQ(::stat(path_.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, ::geteuid());
    EXPECT_FALSE(fs::exists(registrator::common::TemporaryPathFor(path_)));
}

// The replacement took the mode of a new file and the owner of whoever saved.
TEST_F(SettingsFileWrite, TheReplacedFileKeepsItsModeAndWhereAllowedItsOwner) {
    const OtherUser user = UserForDeniedWrites();
    WriteFileBytes(path_, "[Ustavki1]\r\nKoof_K=3\r\n");
    fs::permissions(path_, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_EQ(::chown(path_.c_str(), user.Uid, user.Gid), 0);
    file_.SaveAll(ustavki_);
    struct stat st;
    ASSERT_EQ(::stat(path_.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_uid, user.Uid);
    EXPECT_EQ(st.st_gid, user.Gid);
    EXPECT_NE(ReadFileBytes(path_).find("Koof_K=50"), std::string::npos);
}

// A secret's new bytes are never readable by more than the old file was, even half-written: here a
// temporary left by a crash under a wider umask, and a write cut short by the file size limit, which a
// second link to the temporary lets the test look into.
TEST_F(SettingsFileWrite, NewBytesAreNeverMoreOpenThanTheFileTheyReplace) {
    WriteFileBytes(path_, "old");
    fs::permissions(path_, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::replace);
    const fs::path temporary = registrator::common::TemporaryPathFor(path_);
    WriteFileBytes(temporary, "");
    fs::permissions(temporary,
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                        fs::perms::others_read,
                    fs::perm_options::replace);
    const fs::path peek = folder_.File("peek");
    fs::create_hard_link(temporary, peek);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const auto result = registrator::common::ReplaceFileAtomically(path_, std::string(1 << 20, 's'));
        ::_exit(result == registrator::common::ReplaceResult::NotWritten ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the cut write was not reported";
    struct stat st;
    ASSERT_EQ(::stat(peek.c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 4096) << "the write was not cut partway";
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(ReadFileBytes(path_), "old");
    EXPECT_FALSE(fs::exists(temporary));
}

// An installed program's folder is not its user's to write: the settings file beside the executable is a
// link into one that is. Every write, and a setting aside, goes to the file the link leads to; the link
// stays.
TEST_F(SettingsFileWrite, ALinkBesideTheProgramLeadsEveryWriteToItsTarget) {
    const OtherUser user = UserForDeniedWrites();
    const fs::path program = folder_.Path() / "program";
    const fs::path state = folder_.Path() / "state";
    fs::create_directories(program);
    fs::create_directories(state);
    fs::create_symlink("../state/Registrator.INI", program / "Registrator.INI");
    fs::permissions(folder_.Path(), fs::perms::owner_all | fs::perms::others_exec);
    fs::permissions(program, fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(state, fs::perms::all);
    SettingsFile file((program / "Registrator.INI").string(), RegionalSettings::Russian());
    const std::string kept = (state / "Registrator.INI.unreadable-2026-12-06").string();
    ustavki_[7].T_Nom = 120;
    EXPECT_EQ(SaveAsUser(user,
                         [&] {
                             file.SaveAll(ustavki_); // makes the file the link leads to
                             file.WriteChannel(ustavki_, 7);
                             WriteFileBytes(state / "Registrator.INI", std::string(100, '\0'));
                             if (file.SetAside(registrator::common::EncodeDate(2026, 12, 6)) != kept)
                                 throw std::runtime_error("not set aside");
                             file.WriteChannel(ustavki_, 7);
                         }),
              0);
    UstavkiTable loaded;
    EXPECT_EQ(file.LoadAll(loaded), SettingsLoad::Read);
    EXPECT_EQ(loaded[7].T_Nom, 120);
    EXPECT_EQ(ReadFileBytes(kept), std::string(100, '\0'));
    EXPECT_TRUE(fs::is_symlink(program / "Registrator.INI"));
    EXPECT_EQ(std::distance(fs::directory_iterator(program), fs::directory_iterator()), 1);
}

// A writable file in a folder that admits no temporary file could not be saved at all.
TEST_F(SettingsFileWrite, AFolderWithoutRoomForATemporaryFileGetsAnInPlaceWrite) {
    const OtherUser user = UserForDeniedWrites();
    WriteFileBytes(path_, "[Keep]\nA=1\n[Ustavki1]\nName=Pump with a long name\nKoof_K=3\n");
    fs::permissions(path_, fs::perms::all);
    const fs::perms folderPerms = fs::status(folder_.Path()).permissions();
    fs::permissions(folder_.Path(),
                    user.Differs ? fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec
                                 : fs::perms::owner_read | fs::perms::owner_exec);
    ustavki_[1].Name = registrator::common::MotorName::FromCp1251("P");
    EXPECT_EQ(SaveAsUser(user, [&] { file_.SaveAll(ustavki_); }), 0);
    EXPECT_EQ(SaveAsUser(user, [&] { file_.WriteChannel(ustavki_, 1); }), 0);
    SettingsFile absent(folder_.File("Absent.INI"), RegionalSettings::Russian());
    EXPECT_EQ(SaveAsUser(user, [&] { absent.WriteChannel(ustavki_, 1); }), 1);
    fs::permissions(folder_.Path(), folderPerms);

    const std::string after = ReadFileBytes(path_);
    EXPECT_EQ(after.rfind("[Keep]\nA=1\n[Ustavki1]\nName=P\nKoof_K=50\n", 0), 0u) << after;
    UstavkiTable loaded;
    file_.LoadAll(loaded);
    EXPECT_EQ(loaded[72].Oborot, 320);
    EXPECT_EQ(after.find("long name"), std::string::npos) << "the old, longer text is cut off";
    EXPECT_FALSE(fs::exists(registrator::common::TemporaryPathFor(path_)));
}
#endif

TEST_F(SettingsFileWrite, TheOldFileIsWholeUntilTheNewOneIsCompleteOnDisk) {
    const std::string before = "[Keep]\r\nA=1\r\n[Ustavki1]\r\nKoof_K=3\r\n";
    WriteFileBytes(path_, before);
    std::string atReplace;
    std::string temporaryAtReplace;
    file_.SetBeforeReplaceHook([&] {
        atReplace = ReadFileBytes(path_);
        temporaryAtReplace = ReadFileBytes(registrator::common::TemporaryPathFor(path_).string());
    });
    std::vector<int> progress;
    file_.SaveAll(ustavki_, [&](int channel) { progress.push_back(channel); });
    EXPECT_EQ(atReplace, before);
    EXPECT_EQ(temporaryAtReplace, ReadFileBytes(path_));
    EXPECT_NE(temporaryAtReplace.find("Koof_K=50"), std::string::npos);
    EXPECT_EQ(progress.size(), 72u);
}

#ifndef _WIN32
// The process dies between writing the new text and putting it in place: the old file must survive
// byte for byte, and the next save must still work.
TEST_F(SettingsFileWrite, AProcessKilledBeforeTheRenameLeavesTheOldFileIntact) {
    std::string before;
    for (int n = 1; n <= kChannelCount; ++n)
        before += DefaultSection(n, "\n");
    before += "[Foreign]\nkey=value\n";
    WriteFileBytes(path_, before);
    ustavki_[1].Koof_K = 0.5;

    for (const bool saveAll : {true, false}) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            file_.SetBeforeReplaceHook([] { _exit(42); });
            try {
                if (saveAll)
                    file_.SaveAll(ustavki_);
                else
                    file_.WriteChannel(ustavki_, 1);
            } catch (...) {
            }
            _exit(1);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 42); // it did die with the new text written beside the file
        EXPECT_EQ(ReadFileBytes(path_), before);
        EXPECT_NE(ReadFileBytes(registrator::common::TemporaryPathFor(path_).string()).find("Koof_K=0,5"),
                  std::string::npos);
    }

    file_.SaveAll(ustavki_);
    UstavkiTable loaded;
    file_.LoadAll(loaded);
    EXPECT_EQ(loaded[1].Koof_K, 0.5);
    EXPECT_NE(ReadFileBytes(path_).find("[Foreign]\nkey=value\n"), std::string::npos);
    EXPECT_FALSE(fs::exists(registrator::common::TemporaryPathFor(path_)));
}
#endif

} // namespace
