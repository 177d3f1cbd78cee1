// The settings contract, run over this build's store: the system's profile functions on Windows,
// the project's own INI store on POSIX.
#include "settings/settings.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "settings/ini_document.h"
#include "settings/settings_path.h"
#include "test_files.h"

namespace zelquo {
namespace {

using testing::CScratchFolder;
using testing::ReadBytes;
using testing::WriteBytes;

class SettingsTest : public ::testing::Test {
 protected:
  CScratchFolder folder_;
  CSettingsFile settings_{folder_.File(kSettingsFileName)};

  void WriteFile(std::string_view bytes) const { WriteBytes(settings_.Path(), bytes); }
  void WriteSection(std::string_view lines) const {
    WriteFile("[Zelquo IP Update Client]\r\n" + std::string(lines));
  }
};

TEST_F(SettingsTest, NoFileGivesEveryDefault) {
  EXPECT_EQ(settings_.Read(keys::kIpMethod), 1);
  EXPECT_EQ(settings_.Read(keys::kServerPort), 80);
  EXPECT_EQ(settings_.Read(keys::kPollInterval), 60);
  EXPECT_EQ(settings_.ReadCount(keys::kDomainNames), 0);
  EXPECT_EQ(settings_.ReadCount(keys::kAliases), 0);
  EXPECT_EQ(settings_.ReadCount(keys::kIgnoreList), 0);
  EXPECT_EQ(settings_.Read(keys::kUsername), "");
  EXPECT_EQ(settings_.Read(keys::kUpdatedIp), "");
  EXPECT_FALSE(settings_.ReadBool(keys::kExecuteCommand.name, false));
  EXPECT_FALSE(std::filesystem::exists(settings_.Path())) << "reads must not create the file";
}

TEST_F(SettingsTest, FirstWriteCreatesTheFileAndReadsSeeEveryWrite) {
  settings_.Write(keys::kUsername, "alice");
  settings_.Write(keys::kServerPort, 8245);
  settings_.WriteInt(keys::kCheckMinutes.name, -5);
  EXPECT_EQ(settings_.Read(keys::kUsername), "alice");
  EXPECT_EQ(settings_.Read(keys::kServerPort), 8245);
  EXPECT_EQ(settings_.Read(keys::kCheckMinutes), -5);
  settings_.Write(keys::kUsername, "bob");
  EXPECT_EQ(settings_.ReadText("USERNAME", "x"), "bob");
  EXPECT_NE(ReadBytes(settings_.Path()).find("[Zelquo IP Update Client]"), std::string::npos);
}

TEST_F(SettingsTest, IntegerParseOfStoredText) {
  WriteSection("serverport=8245abc\r\npollinterval=abc\r\nipmethod=\r\ncheckminutes=  \r\n");
  EXPECT_EQ(settings_.Read(keys::kServerPort), 8245);
  EXPECT_EQ(settings_.Read(keys::kPollInterval), 0);
  // An empty value gives the caller's default, as an absent key does.
  EXPECT_EQ(settings_.Read(keys::kIpMethod), 1);
  EXPECT_EQ(settings_.ReadInt("checkminutes", 9), 9);
}

TEST_F(SettingsTest, ReadBoolTestsWordsThenNumbers) {
  const struct {
    const char* stored;
    bool fallback;
    bool expected;
  } kCases[] = {{"1", false, true},     {"0", true, false},      {"2", true, true},
                {"2", false, false},    {"true", false, true},   {"false", true, false},
                {"TRUE", true, false},  {"yes", true, false},    {"1abc", false, true},
                {"", true, true},       {"", false, false}};
  for (const auto& row : kCases) {
    WriteSection(std::string("executecommand=") + row.stored + "\r\n");
    EXPECT_EQ(settings_.ReadBool("executecommand", row.fallback), row.expected) << row.stored;
  }
  EXPECT_TRUE(settings_.ReadBool("absent", true));
  EXPECT_FALSE(settings_.ReadBool("absent", false));
}

TEST_F(SettingsTest, LongTextIsCutTo254Characters) {
  const std::string long_value(300, 'v');
  settings_.WriteText("command", long_value);
  EXPECT_EQ(settings_.ReadText("command", ""), std::string(254, 'v'));
}

// The profile read drops a pair of enclosing quotes; a command with a quoted program path must
// keep them to run. Values in quotes read back as written, quotes, surrounding spaces and all,
// and the 254-character cut counts from the value as written.
TEST_F(SettingsTest, QuotedValuesReadBackAsWritten) {
  const std::string long_quoted = "\"" + std::string(300, 'q') + "\"";
  const std::string kValues[] = {
      "\"C:\\Program Files\\Tools\\notify.exe\"",
      "\"C:\\Program Files\\Tools\\notify.exe\" \"my host\" \"new address\"",
      "'single quoted'", " \"padded\" ", "\"", "'", "\"\"", "''", "\"'", "'\"", long_quoted,
  };
  for (const std::string& value : kValues) {
    settings_.Write(keys::kCommand, value);
    EXPECT_EQ(settings_.Read(keys::kCommand), value.substr(0, 254)) << value.substr(0, 60);
  }
  // What the file holds: one pair more for a quoted value, the bytes as they are for the rest.
  settings_.Write(keys::kCommand, "\"C:\\Program Files\\Tools\\notify.exe\"");
  settings_.Write(keys::kLocation, "\"C:\\tools\\run.bat\" now");
  const std::string file = ReadBytes(settings_.Path());
  const auto stored = [&file](const std::string& key) {
    const auto begin = file.find("\n" + key + "=") + key.size() + 2;
    return file.substr(begin, file.find_first_of("\r\n", begin) - begin);
  };
  EXPECT_EQ(stored("command"), "\"\"C:\\Program Files\\Tools\\notify.exe\"\"");
  EXPECT_EQ(stored("location"), "\"C:\\tools\\run.bat\" now");
}

TEST_F(SettingsTest, RemovingAListEntryShiftsTheRestAndLeavesTheOldLastEntry) {
  settings_.AppendEntry(keys::kDomainNames, "one.example.org");
  settings_.AppendEntry(keys::kDomainNames, "two.example.org");
  settings_.AppendEntry(keys::kDomainNames, "three.example.org");
  settings_.RemoveRow(keys::kDomainNames, 1);
  EXPECT_EQ(settings_.ReadCount(keys::kDomainNames), 2);
  EXPECT_EQ(settings_.ReadEntry(keys::kDomainNames, 1), "two.example.org");
  EXPECT_EQ(settings_.ReadEntry(keys::kDomainNames, 2), "three.example.org");
  EXPECT_EQ(settings_.ReadText("domain_name3", ""), "three.example.org");
}

TEST_F(SettingsTest, AliasRowsAreAppendedAndRemovedWhole) {
  using Row = std::vector<std::string>;
  settings_.AppendRow(keys::kAliases, {"www", "one.example.org"});
  settings_.AppendRow(keys::kAliases, {"ftp", "two.example.org"});
  settings_.AppendRow(keys::kAliases, {"mail", "three.example.org"});
  EXPECT_EQ(settings_.ReadCount(keys::kAliases), 3);
  EXPECT_EQ(settings_.ReadText("alias_domain_name1", ""), "one.example.org");
  settings_.RemoveRow(keys::kAliases, 2);
  settings_.RemoveRow(keys::kAliases, 1);
  EXPECT_EQ(settings_.ReadCount(keys::kAliases), 1);
  EXPECT_EQ(settings_.ReadRow(keys::kAliases, 1), (Row{"mail", "three.example.org"}));
  EXPECT_EQ(settings_.ReadEntry(keys::kAliases, 1, keys::kAliasHostName), "three.example.org");
  // A row appended short is filled with empty entries, never with what an old row left behind.
  settings_.AppendRow(keys::kAliases, {"late"});
  EXPECT_EQ(settings_.ReadRow(keys::kAliases, 2), (Row{"late", ""}));
}

// A count typed into the file reaches one row past the last present at most: the rows past that
// would read alike, empty. Rows above the count and numbers no row is read by do not count.
TEST_F(SettingsTest, ACountPastTheLastRowReadsAsOneRowMore) {
  WriteSection(
      "numofdomainnames=2000000000\r\ndomain_name1=a.example.org\r\nDOMAIN_NAME3=c.example.org\r\n"
      "domain_name04=x\r\nnumofaliases=2\r\nalias_alias1=www\r\nalias_domain_name5=stale\r\n"
      "numofignoreip=3\r\n");
  EXPECT_EQ(settings_.ReadCount(keys::kDomainNames), 4);
  EXPECT_EQ(settings_.ReadEntry(keys::kDomainNames, 3), "c.example.org");
  EXPECT_EQ(settings_.ReadCount(keys::kAliases), 2);
  EXPECT_EQ(settings_.ReadCount(keys::kIgnoreList), 1) << "one empty row, which ignores every address";
}

// The writes of a change land together; its reads see the file as it was when it began.
TEST_F(SettingsTest, AChangeOfSeveralKeysLandsWhole) {
  settings_.Write(keys::kUsername, "alice");
  std::string seen;
  EXPECT_TRUE(settings_.Change([&](CSettingsChange& change) {
    change.Write(keys::kUsername, "bob");
    change.Write(keys::kCommand, "'quoted'");
    change.WriteInt(keys::kServerPort.name, 8245);
    seen = change.Read(keys::kUsername);
  }));
  EXPECT_EQ(seen, "alice");
  EXPECT_EQ(settings_.Read(keys::kUsername), "bob");
  EXPECT_EQ(settings_.Read(keys::kCommand), "'quoted'");
  EXPECT_EQ(settings_.Read(keys::kServerPort), 8245);

  CScratchFolder other;
  const CSettingsFile untouched(other.File(kSettingsFileName));
  EXPECT_TRUE(untouched.Change([](CSettingsChange&) {}));
  EXPECT_FALSE(std::filesystem::exists(untouched.Path())) << "a change without writes makes no file";
}

TEST_F(SettingsTest, ValuesWithLineBreaksCannotForgeOtherKeys) {
  // The forging value goes first, into a new file, where no real key can shadow the forged one.
  settings_.Write(keys::kCommand, "echo\r\npassword=forged\nusername=eve\r");
  EXPECT_EQ(settings_.Read(keys::kPassword), "");
  EXPECT_EQ(settings_.Read(keys::kUsername), "");
  EXPECT_EQ(settings_.Read(keys::kCommand), "echopassword=forgedusername=eve");
}

// Files that no program wrote: every read gives its default and nothing crashes.
TEST_F(SettingsTest, DamagedFilesReadAsDefaults) {
  using namespace std::string_literals;
  std::string binary;
  for (int i = 0; i < 4096; ++i) binary.push_back(static_cast<char>((i * 7919) & 0xff));
  const std::string files[] = {
      "",
      binary,
      std::string(100000, 'x') + "\n[Zelquo IP Update Client]\n" + std::string(100000, 'k') + "=v\n",
      "[Zelquo IP Update Client]\n\0\0\0serverport\0=9\n"s,
      std::string(10 * 1024 * 1024, '['),
  };
  for (const std::string& bytes : files) {
    WriteFile(bytes);
    EXPECT_EQ(settings_.Read(keys::kServerPort), 80);
    EXPECT_EQ(settings_.Read(keys::kUsername), "");
    EXPECT_EQ(settings_.ReadCount(keys::kDomainNames), 0);
  }
}

TEST_F(SettingsTest, WritingIntoALargeFileKeepsItsContent) {
  const std::string filler = "[Other]\n" + std::string(100000, 'f') + "=1\n";
  WriteFile(filler + "[Zelquo IP Update Client]\nusername=alice\n");
  settings_.Write(keys::kLocation, "home");
  EXPECT_EQ(settings_.Read(keys::kUsername), "alice");
  EXPECT_EQ(settings_.Read(keys::kLocation), "home");
  // Other sections survive the write (the system's profile functions may respell line ends).
  const CIniDocument after(ReadBytes(settings_.Path()));
  EXPECT_EQ(after.Find("Other", std::string(100000, 'f')), "1");
}

TEST_F(SettingsTest, ADirectoryInPlaceOfTheFileReadsAsDefaultsAndSurvivesWrites) {
  std::filesystem::create_directory(settings_.Path());
  EXPECT_EQ(settings_.Read(keys::kIpMethod), 1);
  EXPECT_FALSE(settings_.Write(keys::kUsername, "alice"));
  EXPECT_TRUE(std::filesystem::is_directory(settings_.Path()));
  EXPECT_EQ(settings_.Read(keys::kUsername), "");
}

TEST(SettingsPathTest, WindowsRuleLowerCasesAndRemovesTheProgramName) {
  EXPECT_EQ(BuildSettingsPathFromModulePath("C:\\Program Files\\Zelquo\\ZelquoIUC.exe", "zelquoiuc.exe"),
            "c:\\program files\\zelquo\\ZelquoIUC.ini");
  // A copy under another name keeps its whole lower-cased path in front of the file name.
  EXPECT_EQ(BuildSettingsPathFromModulePath("C:\\Tools\\Copy.exe", "zelquoiuc.exe"),
            "c:\\tools\\copy.exeZelquoIUC.ini");
  // Every occurrence goes, also one inside a folder name.
  EXPECT_EQ(BuildSettingsPathFromModulePath("D:\\zelquoipupdate.exe\\ZELQUOIPUPDATE.EXE",
                                            "zelquoipupdate.exe"),
            "d:\\\\ZelquoIUC.ini");
}

TEST(SettingsPathTest, RunningProgramsPathEndsWithTheFileName) {
  const std::string path = GetSettingsPath();
  ASSERT_GT(path.size(), std::string_view(kSettingsFileName).size());
  EXPECT_TRUE(path.ends_with(kSettingsFileName));
  EXPECT_EQ(path.find("engine_test.exe"), std::string::npos);
}

}  // namespace
}  // namespace zelquo
