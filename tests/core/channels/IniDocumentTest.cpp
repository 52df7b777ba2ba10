#include "channels/IniDocument.h"

#include <gtest/gtest.h>

using registrator::channels::IniDocument;

namespace {

TEST(IniDocument, TextComesBackByteForByte) {
    for (const char* text :
         {"", "\n", "a", "[s]\r\nk=v\r\n", "[s]\nk=v", "junk line\r\n\r\n[s]\n  k = v  \n;c\n",
          "[s]\r\nmixed=1\nendings=2\r\n", "[s]\rk=v\r", "a\r\r\nb\n\rc"})
        EXPECT_EQ(IniDocument::Parse(text).Serialize(), text);
}

TEST(IniDocument, ValuesMayHoldEqualsSignsAndKeysNeedOne) {
    const IniDocument doc = IniDocument::Parse("[s]\nName=a=b\nno key here\n=orphan\n");
    EXPECT_EQ(doc.Find("s", "Name"), "a=b");
    EXPECT_EQ(doc.Find("s", "no key here"), std::nullopt);
    EXPECT_EQ(doc.Entries("s").size(), 2u);
    EXPECT_EQ(doc.Find("missing", "Name"), std::nullopt);
}

TEST(IniDocument, BlanksInsideBracketsAreNotPartOfTheName) {
    const IniDocument doc = IniDocument::Parse("[ Ustavki1 ]\nKoof_K=2\n");
    EXPECT_EQ(doc.Find("ustavki1", "KOOF_K"), "2");
}

TEST(IniDocument, NewLinesTakeTheFileLineEnding) {
    IniDocument mixed = IniDocument::Parse("[a]\r\nx=1\n[b]\ny=2\n");
    EXPECT_EQ(mixed.LineEnding(), "\r\n");
    mixed.Set("a", "z", "3");
    mixed.Set("c", "w", "4");
    EXPECT_EQ(mixed.Serialize(), "[a]\r\nx=1\nz=3\r\n[b]\ny=2\n[c]\r\nw=4\r\n");

    IniDocument empty = IniDocument::Parse("");
    empty.Set("s", "k", "v");
    EXPECT_EQ(empty.Serialize(), "[s]\r\nk=v\r\n");
}

// Without it a file with CR-only endings was one line, and every channel silently took its defaults.
TEST(IniDocument, ALoneCrEndsALineAndNewLinesTakeIt) {
    IniDocument doc = IniDocument::Parse("[a]\rx=1\r[b]\ry=2\r");
    EXPECT_EQ(doc.LineEnding(), "\r");
    EXPECT_EQ(doc.Find("a", "x"), "1");
    EXPECT_EQ(doc.Find("b", "y"), "2");
    doc.Set("a", "z", "3");
    doc.Set("c", "w", "4");
    EXPECT_EQ(doc.Serialize(), "[a]\rx=1\rz=3\r[b]\ry=2\r[c]\rw=4\r");
}

TEST(IniDocument, AnUnendedLastLineGetsAnEndingOnlyWhenSomethingFollowsIt) {
    IniDocument doc = IniDocument::Parse("[a]\nx=1\n[b]\ny=2");
    doc.Set("a", "x", "5");
    EXPECT_EQ(doc.Serialize(), "[a]\nx=5\n[b]\ny=2");
    doc.Set("b", "z", "6");
    EXPECT_EQ(doc.Serialize(), "[a]\nx=5\n[b]\ny=2\nz=6\n");
}

TEST(IniDocument, KeysAppendAfterTheLastNonBlankLineOfTheirSection) {
    IniDocument doc = IniDocument::Parse("[a]\nx=1\n; note\n\n\n[b]\n");
    doc.Set("A", "y", "2");
    EXPECT_EQ(doc.Serialize(), "[a]\nx=1\n; note\ny=2\n\n\n[b]\n");
}

} // namespace
