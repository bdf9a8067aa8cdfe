#include "platform/profile_document.h"

#include <gtest/gtest.h>

#include <string>

namespace corvellan {
namespace {

using namespace std::string_literals;

TEST(ProfileDocumentParse, SerializeGivesBackTheExactBytes) {
  for (const std::string& bytes :
       {""s, "\n"s, "\r\n"s, "\r"s, "a"s, "a\r"s, "[S]\r\nk=v\r\n"s, "[S]\nk=v"s, "x\n\n\r\n\ry\r\r\n"s,
        "\0\n=\0\r\n[\0]"s, "\xff\xfe;\x80\n"s}) {
    EXPECT_EQ(ProfileDocument(bytes).Serialize(), bytes);
  }
}

TEST(ProfileDocumentParse, SplitsLinesAndKeepsTheirEndings) {
  const ProfileDocument doc("[S]\r\nk=v\nlast\r"s);
  ASSERT_EQ(doc.lines().size(), 3u);
  EXPECT_EQ(doc.lines()[0].text, "[S]");
  EXPECT_EQ(doc.lines()[0].ending, "\r\n");
  EXPECT_EQ(doc.lines()[1].text, "k=v");
  EXPECT_EQ(doc.lines()[1].ending, "\n");
  EXPECT_EQ(doc.lines()[2].text, "last");
  EXPECT_EQ(doc.lines()[2].ending, "\r");
}

TEST(ProfileDocumentParse, LineEndingStyleIsThatOfTheFirstLine) {
  EXPECT_EQ(ProfileDocument("a\r\nb\n").line_ending(), "\r\n");
  EXPECT_EQ(ProfileDocument("a\nb\r\n").line_ending(), "\n");
  EXPECT_EQ(ProfileDocument("a").line_ending(), "\n");
  EXPECT_EQ(ProfileDocument("").line_ending(), "\n");
}

TEST(ProfileLineClassification, RecognisesEveryKindOfLine) {
  EXPECT_EQ(ClassifyProfileLine("").kind, ProfileLineKind::kBlank);
  EXPECT_EQ(ClassifyProfileLine(" \t ").kind, ProfileLineKind::kBlank);
  EXPECT_EQ(ClassifyProfileLine("  ; a=b").kind, ProfileLineKind::kComment);
  EXPECT_EQ(ClassifyProfileLine("no equals sign").kind, ProfileLineKind::kOther);
  EXPECT_EQ(ClassifyProfileLine(" = value without key").kind, ProfileLineKind::kOther);

  const ProfileLineInfo section = ClassifyProfileLine(" [ General Settings ] trailing");
  EXPECT_EQ(section.kind, ProfileLineKind::kSection);
  EXPECT_EQ(section.name, "General Settings");

  const ProfileLineInfo entry = ClassifyProfileLine("\t Key \t=  a = b \t");
  EXPECT_EQ(entry.kind, ProfileLineKind::kEntry);
  EXPECT_EQ(entry.name, "Key");
  EXPECT_EQ(entry.value, "a = b");
  EXPECT_EQ(entry.value_offset, 10u);
}

TEST(ProfileLineClassification, LastClosingBracketEndsTheSectionName) {
  EXPECT_EQ(ClassifyProfileLine("[a]b]").name, "a]b");
  // Without a closing bracket the line is an ordinary entry.
  const ProfileLineInfo info = ClassifyProfileLine("[open=1");
  EXPECT_EQ(info.kind, ProfileLineKind::kEntry);
  EXPECT_EQ(info.name, "[open");
}

TEST(ProfileValueText, QuotesComeOffOnlyInMatchingPairs) {
  EXPECT_EQ(UnquoteProfileValue("\"a b\""), "a b");
  EXPECT_EQ(UnquoteProfileValue("'a b'"), "a b");
  EXPECT_EQ(UnquoteProfileValue("\"\""), "");
  EXPECT_EQ(UnquoteProfileValue("\"a'"), "\"a'");
  EXPECT_EQ(UnquoteProfileValue("\"a"), "\"a");
  EXPECT_EQ(UnquoteProfileValue("\""), "\"");
  EXPECT_EQ(UnquoteProfileValue("a\"b\""), "a\"b\"");
  EXPECT_EQ(UnquoteProfileValue("\"\"x\"\""), "\"x\"");
}

TEST(ProfileValueText, NamesCompareWithoutRegardToAsciiCase) {
  EXPECT_TRUE(ProfileNamesEqual("General Settings", "GENERAL settings"));
  EXPECT_FALSE(ProfileNamesEqual("General", "General "));
  EXPECT_FALSE(ProfileNamesEqual("\xe9", "\xc9"));  // no case folding beyond ASCII
}

TEST(ProfileValueText, WritableNames) {
  EXPECT_TRUE(IsWritableProfileSection(" Label Settings "));
  EXPECT_TRUE(IsWritableProfileSection("a]b"));
  EXPECT_FALSE(IsWritableProfileSection(" \t"));
  EXPECT_FALSE(IsWritableProfileSection("a\nb"));
  EXPECT_TRUE(IsWritableProfileKey("Main Form Left"));
  EXPECT_FALSE(IsWritableProfileKey(""));
  EXPECT_FALSE(IsWritableProfileKey("a=b"));
  EXPECT_FALSE(IsWritableProfileKey(";a"));
  EXPECT_FALSE(IsWritableProfileKey(" [a"));
  EXPECT_FALSE(IsWritableProfileKey("a\rb"));
}

TEST(ProfileDocumentFind, FirstSectionAndFirstKeyWin) {
  const ProfileDocument doc(
      "k=outside\n[S]\nk=first\nK=second\n[T]\nk=other\n[s]\nk=repeated\nonly=in repeated\n");
  EXPECT_EQ(doc.Find("S", "k").value_or("?"), "first");
  EXPECT_EQ(doc.Find("t", "K").value_or("?"), "other");
  EXPECT_FALSE(doc.Find("S", "only").has_value());
  EXPECT_FALSE(doc.Find("", "k").has_value());
  EXPECT_FALSE(doc.Find("S", "").has_value());
}

TEST(ProfileDocumentFind, ReadingTheBytesDirectlyAgreesWithTheDocument) {
  const std::string bytes =
      "k=outside\r\n[S]\r\n; k=comment\r\nk = \"first\" \r\n[T]\r\nk=other\r\n"
      "[s]\r\nonly=repeated\r\n[U]\r\nlast=x\r";
  const ProfileDocument doc(bytes);
  for (const char* section : {"S", "T", "U", "s ", "V", ""}) {
    for (const char* key : {"k", "only", "last", "K", ""}) {
      EXPECT_EQ(FindProfileValue(bytes, section, key), doc.Find(section, key)) << section << "/" << key;
    }
  }
  EXPECT_EQ(FindProfileValue(bytes, "S", "k").value_or("?"), "first");
  EXPECT_EQ(FindProfileValue(bytes, "U", "last").value_or("?"), "x");
}

TEST(ProfileDocumentSet, ReplacesOnlyTheValueOfTheFirstEntry) {
  ProfileDocument doc("[S]\n  KEY \t=  old value ; not a comment\nkey=second\n");
  EXPECT_TRUE(doc.Set("s", "Key", "new"));
  EXPECT_EQ(doc.Serialize(), "[S]\n  KEY \t=  new\nkey=second\n");
  EXPECT_FALSE(doc.Set("S", "key", "new"));
}

TEST(ProfileDocumentSet, NewKeyGoesAfterTheLastContentLineOfItsSection) {
  ProfileDocument doc("[A]\na=1\n\n; about B\n[B]\nb=1\n");
  EXPECT_TRUE(doc.Set("A", "n", "2"));
  EXPECT_EQ(doc.Serialize(), "[A]\na=1\nn=2\n\n; about B\n[B]\nb=1\n");
}

TEST(ProfileDocumentSet, NewKeyInASectionWithOnlyAHeaderFollowsTheHeader) {
  ProfileDocument doc("[A]\n; comment\n\n[B]\n");
  EXPECT_TRUE(doc.Set("A", "k", "v"));
  EXPECT_EQ(doc.Serialize(), "[A]\nk=v\n; comment\n\n[B]\n");
}

TEST(ProfileDocumentSet, NewSectionGoesAtTheEndAfterABlankLine) {
  ProfileDocument doc("[A]\na=1\n");
  EXPECT_TRUE(doc.Set("B", "b", "2"));
  EXPECT_EQ(doc.Serialize(), "[A]\na=1\n\n[B]\nb=2\n");

  ProfileDocument ends_blank("[A]\na=1\n\n");
  EXPECT_TRUE(ends_blank.Set("B", "b", "2"));
  EXPECT_EQ(ends_blank.Serialize(), "[A]\na=1\n\n[B]\nb=2\n");

  ProfileDocument empty("");
  EXPECT_TRUE(empty.Set(" B ", " b ", "2"));
  EXPECT_EQ(empty.Serialize(), "[B]\nb=2\n");
}

TEST(ProfileDocumentSet, UnterminatedLastLineGetsALineEnding) {
  ProfileDocument doc("[A]\r\na=1");
  EXPECT_TRUE(doc.Set("A", "b", "2"));
  EXPECT_EQ(doc.Serialize(), "[A]\r\na=1\r\nb=2\r\n");

  ProfileDocument half_crlf("[A]\r\na=1\r");
  EXPECT_TRUE(half_crlf.Set("C", "c", "3"));
  EXPECT_EQ(half_crlf.Serialize(), "[A]\r\na=1\r\n\r\n[C]\r\nc=3\r\n");
}

TEST(ProfileDocumentSet, ValueIsCutAtItsFirstLineBreak) {
  ProfileDocument doc("");
  EXPECT_TRUE(doc.Set("A", "k", "one\r\ntwo"));
  EXPECT_EQ(doc.Serialize(), "[A]\nk=one\n");
}

TEST(ProfileDocumentSet, UnwritableNamesChangeNothing) {
  ProfileDocument doc("[A]\n");
  EXPECT_FALSE(doc.Set("A", "a=b", "v"));
  EXPECT_FALSE(doc.Set("A", ";c", "v"));
  EXPECT_FALSE(doc.Set("", "k", "v"));
  EXPECT_EQ(doc.Serialize(), "[A]\n");
}

}  // namespace
}  // namespace corvellan
