#include "common/Cp1251.h"

#include "common/MotorName.h"

#include <gtest/gtest.h>

using namespace registrator::common;

namespace {

TEST(Cp1251, RussianAlphabetBothWays) {
    const std::string utf8 = "АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯабвгдежзийклмнопрстуфхцчшщъыьэюя";
    const std::string cp = Utf8ToCp1251(utf8);
    ASSERT_EQ(cp.size(), 64u);
    for (int i = 0; i < 64; ++i)
        EXPECT_EQ(static_cast<unsigned char>(cp[static_cast<std::size_t>(i)]), 0xC0 + i);
    EXPECT_EQ(Cp1251ToUtf8(cp), utf8);
}

TEST(Cp1251, LettersOutsideTheMainBlock) {
    EXPECT_EQ(Utf8ToCp1251("Ёё№"), "\xA8\xB8\xB9");
    EXPECT_EQ(Cp1251ToUtf8("\xA8\xB8\xB9\x96\x88"), "Ёё№–€");
    EXPECT_EQ(Utf8ToCp1251("Насос №1 «А»"), "\xCD\xE0\xF1\xEE\xF1 \xB9"
                                            "1 \xAB\xC0\xBB");
}

TEST(Cp1251, EveryByteSurvivesARoundTrip) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    EXPECT_EQ(Utf8ToCp1251(Cp1251ToUtf8(all)), all);
}

TEST(Cp1251, MissingCharactersBecomeQuestionMarks) {
    EXPECT_EQ(Utf8ToCp1251("a€b"), "a\x88"
                                   "b");
    EXPECT_EQ(Utf8ToCp1251("ä中😀"), "???");
}

TEST(Cp1251, MalformedUtf8BecomesQuestionMarks) {
    EXPECT_EQ(Utf8ToCp1251("a\x80z"), "a?z");       // stray continuation byte
    EXPECT_EQ(Utf8ToCp1251("\xD0"), "?");           // cut short
    EXPECT_EQ(Utf8ToCp1251("\xC0\xAF"), "??");      // overlong '/'
    EXPECT_EQ(Utf8ToCp1251("\xED\xA0\x80"), "???"); // surrogate
    EXPECT_EQ(Utf8ToCp1251("\xF5\x80\x80\x80"), "????");
}

std::string Utf16Bytes(std::u16string_view text, bool bigEndian) {
    std::string bytes;
    for (const char16_t unit : text) {
        const char high = static_cast<char>(unit >> 8);
        const char low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

// A file saved as "Unicode" by a modern editor was taken for Windows-1251, NULs between its letters,
// and every channel got its defaults.
TEST(TextFileToCp1251, Utf16EitherByteOrderWithOrWithoutItsMark) {
    const std::string expected = Utf8ToCp1251("[Ustavki1]\r\nName=Насос №1 ?\r\n");
    for (const bool bigEndian : {false, true}) {
        // U+1F600 comes as a surrogate pair: one character that Windows-1251 lacks.
        const std::string text = Utf16Bytes(u"[Ustavki1]\r\nName=Насос №1 \U0001F600\r\n", bigEndian);
        EXPECT_EQ(TextFileToCp1251(text), expected) << bigEndian;
        EXPECT_EQ(TextFileToCp1251(Utf16Bytes(u"\uFEFF", bigEndian) + text), expected) << bigEndian;
    }
    // Without a mark the zero bytes decide, and bytes that merely hold zeros stay as they are.
    const std::string binary("\x01\x00\x00\x02\x00\x00\x7F\x00", 8);
    EXPECT_EQ(TextFileToCp1251(binary), binary);
}

TEST(MotorName, EveryAssignmentKeepsTheFirst50Characters) {
    const std::string sixty(60, 'x');
    EXPECT_EQ(MotorName::FromCp1251(sixty).Cp1251(), std::string(50, 'x'));
    EXPECT_EQ(MotorName::FromCp1251(sixty).Length(), 50u);

    // 60 Cyrillic letters are 120 UTF-8 bytes but 60 characters: 50 of them stay.
    std::string cyrillic;
    for (int i = 0; i < 60; ++i)
        cyrillic += "Ж";
    const MotorName name = MotorName::FromUtf8(cyrillic);
    EXPECT_EQ(name.Length(), 50u);
    EXPECT_EQ(name.Cp1251(), std::string(50, '\xC6'));
    EXPECT_EQ(name.Utf8(), cyrillic.substr(0, 100));
}

TEST(MotorName, ShortNamesAndReassignment) {
    MotorName name = MotorName::FromUtf8("Дробилка 2");
    EXPECT_EQ(name.Utf8(), "Дробилка 2");
    EXPECT_EQ(name.Length(), 10u);
    name.AssignCp1251("");
    EXPECT_TRUE(name.Empty());
    name.AssignUtf8("Насос");
    EXPECT_EQ(name, MotorName::FromCp1251("\xCD\xE0\xF1\xEE\xF1"));
    EXPECT_FALSE(name == MotorName::FromUtf8("Насос 1"));
    EXPECT_TRUE(MotorName{}.Empty());
}

} // namespace
