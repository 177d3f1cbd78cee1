#include "settings/ini_document.h"

#include <gtest/gtest.h>

namespace zelquo {
namespace {

constexpr char kSection[] = "Zelquo IP Update Client";

std::optional<std::string> Lookup(std::string_view bytes, std::string_view key,
                                  std::string_view section = kSection) {
  return CIniDocument(std::string(bytes)).Find(section, key);
}

TEST(IniDocumentTest, ReadsValuesTheWayTheProfileFunctionsDo) {
  const struct {
    const char* file;
    const char* key;
    std::optional<std::string> expected;
  } kCases[] = {
      {"[Zelquo IP Update Client]\nusername=alice\n", "username", "alice"},
      {"[zelquo ip update CLIENT]\r\nUserName = alice \r\n", "USERNAME", "alice"},
      {"  [Zelquo IP Update Client]  \n\t username\t=\t a b \t\n", "username", "a b"},
      {"[Zelquo IP Update Client]\nusername=\n", "username", ""},
      {"[Zelquo IP Update Client]\nusername\n", "username", std::nullopt},
      {"[Zelquo IP Update Client]\nusername=a=b\n", "username", "a=b"},
      {"[Zelquo IP Update Client]\nusername=\"quoted\"\n", "username", "quoted"},
      {"[Zelquo IP Update Client]\nusername='single'\n", "username", "single"},
      {"[Zelquo IP Update Client]\nusername=\"unbalanced\n", "username", "\"unbalanced"},
      {"[Zelquo IP Update Client]\nusername=\"\n", "username", "\""},
      // One pair goes, whatever the value holds between, once the spaces around it are gone.
      {"[Zelquo IP Update Client]\nusername= \"padded\" \n", "username", "padded"},
      {"[Zelquo IP Update Client]\nusername=\"\"a\" \"b\"\"\n", "username", "\"a\" \"b\""},
      {"[Zelquo IP Update Client]\nusername=''\n", "username", ""},
      {"[Zelquo IP Update Client]\nusername=\"'\n", "username", "\"'"},
      {"[Zelquo IP Update Client]\nusername=one\nusername=two\n", "username", "one"},
      {"[Zelquo IP Update Client]\nusername=first\n[Zelquo IP Update Client]\nusername=second\n",
       "username", "first"},
      // Only the first section of a name is searched, even when a later one holds the key.
      {"[Zelquo IP Update Client]\nother=1\n[Zelquo IP Update Client]\nusername=late\n", "username",
       std::nullopt},
      {"username=before any section\n[Zelquo IP Update Client]\n", "username", std::nullopt},
      {"[Other]\nusername=elsewhere\n", "username", std::nullopt},
      {"[ Zelquo IP Update Client ]\nusername=spaced\n", "username", std::nullopt},
      {"[Zelquo IP Update Client]\n;username=commented\n", "username", std::nullopt},
      {"[Zelquo IP Update Client]\n;username=commented\n", ";username", "commented"},
      {"[Zelquo IP Update Client]\nusername=no final newline", "username", "no final newline"},
      {"[Zelquo IP Update Client]\rusername=lone cr\r", "username", std::nullopt},
      {"[Zelquo IP Update Client]\nusername=caf\xe9\x80\xff\n", "username", "caf\xe9\x80\xff"},
      {"[Zelquo IP Update Client\nusername=broken header\n", "username", std::nullopt},
  };
  for (const auto& row : kCases) {
    EXPECT_EQ(Lookup(row.file, row.key), row.expected) << row.file;
  }
}

TEST(IniDocumentTest, NulBytesEndAValueButNotTheFile) {
  using namespace std::string_literals;
  const std::string file = "[Zelquo IP Update Client]\nusername=ab\0cd\npassword=x\n"s;
  EXPECT_EQ(Lookup(file, "username"), "ab");
  EXPECT_EQ(Lookup(file, "password"), "x");
}

TEST(IniDocumentTest, WriteReplacesInPlaceAndKeepsEveryOtherByte) {
  const std::string before =
      "; settings\r\n[Other]\r\nusername=keep\r\n\r\n[Zelquo IP Update Client]\r\n"
      "UserName = old value\r\nserverport=80\r\n\r\n[Last]\r\nx=1\r\n";
  CIniDocument document(before);
  ASSERT_TRUE(document.Set(kSection, "username", "new"));
  EXPECT_EQ(document.Bytes(),
            "; settings\r\n[Other]\r\nusername=keep\r\n\r\n[Zelquo IP Update Client]\r\n"
            "UserName=new\r\nserverport=80\r\n\r\n[Last]\r\nx=1\r\n");
}

TEST(IniDocumentTest, WriteAddsMissingKeysAndSectionsWithTheFilesLineEnds) {
  CIniDocument crlf("[Zelquo IP Update Client]\r\na=1\r\n\r\n[Other]\r\nb=2");
  ASSERT_TRUE(crlf.Set(kSection, "c", "3"));
  ASSERT_TRUE(crlf.Set("New", "d", "4"));
  EXPECT_EQ(crlf.Bytes(), "[Zelquo IP Update Client]\r\na=1\r\nc=3\r\n\r\n[Other]\r\nb=2\r\n[New]\r\nd=4\r\n");

  CIniDocument empty("");
  ASSERT_TRUE(empty.Set(kSection, "username", "alice"));
  EXPECT_EQ(empty.Bytes(), "[Zelquo IP Update Client]\nusername=alice\n");

  CIniDocument header_only("[Zelquo IP Update Client]");
  ASSERT_TRUE(header_only.Set(kSection, "a", "1"));
  EXPECT_EQ(header_only.Bytes(), "[Zelquo IP Update Client]\na=1\n");
}

TEST(IniDocumentTest, WrittenValuesCannotAddLinesOrKeys) {
  CIniDocument document("[Zelquo IP Update Client]\npassword=x\n");
  ASSERT_TRUE(document.Set(kSection, "command", "run\r\npassword=stolen\n[Other]"));
  EXPECT_EQ(document.Find(kSection, "command"), "runpassword=stolen[Other]");
  EXPECT_EQ(document.Find(kSection, "password"), "x");

  const std::string before = document.Bytes();
  EXPECT_FALSE(document.Set(kSection, "bad=key", "v"));
  EXPECT_FALSE(document.Set(kSection, "bad\nkey", "v"));
  EXPECT_FALSE(document.Set(kSection, "", "v"));
  EXPECT_FALSE(document.Set("bad]section", "key", "v"));
  EXPECT_FALSE(document.Set(kSection, "[looks]like a section", "v"));
  EXPECT_EQ(document.Bytes(), before);
}

TEST(IniDocumentTest, WriteThenReadRoundTripsOverAnyStartingFile) {
  const std::string starts[] = {
      "", "\n\n", "junk without structure", "[Zelquo IP Update Client]", std::string("\0\0\xff", 3),
      "username=top\n[zelquo ip update client]\nUSERNAME=x\n[Zelquo IP Update Client]\nusername=y\n"};
  for (const std::string& start : starts) {
    CIniDocument document(start);
    ASSERT_TRUE(document.Set(kSection, "username", "alice"));
    ASSERT_TRUE(document.Set(kSection, "domain_name1", "host.example.org"));
    ASSERT_TRUE(document.Set(kSection, "username", "bob"));
    EXPECT_EQ(document.Find(kSection, "username"), "bob") << start;
    EXPECT_EQ(document.Find(kSection, "domain_name1"), "host.example.org") << start;
  }
}

TEST(IniDocumentTest, ProfileIntegerParse) {
  const struct {
    const char* text;
    int expected;
  } kCases[] = {{"80", 80},   {"8245abc", 8245}, {"abc", 0},        {"", 0},
                {" 42 ", 42}, {"-1", -1},        {"+7", 7},         {"- 3", 0},
                {"0012", 12}, {"1.5", 1},        {"4294967297", 1}, {"2147483648", -2147483647 - 1},
                {"0x1F", 31}, {"-0x10", -16},    {"0X10", 0},       {"0x1g", 1},
                {"0b102", 2}, {"0o17", 15},      {"0x", 0}};
  for (const auto& row : kCases) EXPECT_EQ(ParseProfileInt(row.text), row.expected) << row.text;
}

}  // namespace
}  // namespace zelquo
