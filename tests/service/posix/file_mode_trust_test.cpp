#include "host/posix/file_mode_trust.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "host/command_file_trust.h"
#include "test_files.h"

namespace zelquo::service {
namespace {

struct ModeCase {
  uid_t owner;
  mode_t mode;
  std::optional<std::string> problem;
};

class FileModeTrustTest : public ::testing::TestWithParam<ModeCase> {};

constexpr uid_t kServiceUid = 990;

TEST_P(FileModeTrustTest, JudgesOwnerAndWriteBits) {
  EXPECT_EQ(posix::FileStatusProblem({GetParam().owner, GetParam().mode}, kServiceUid), GetParam().problem);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, FileModeTrustTest,
    ::testing::Values(ModeCase{0, S_IFREG | 0644, std::nullopt},                           //
                      ModeCase{0, S_IFREG | 0600, std::nullopt},                           //
                      ModeCase{kServiceUid, S_IFREG | 0644, std::nullopt},                 //
                      ModeCase{0, S_IFDIR | 0755, std::nullopt},                           //
                      ModeCase{1000, S_IFREG | 0644, "owned by uid 1000"},                 //
                      ModeCase{1000, S_IFDIR | 0755, "owned by uid 1000"},                 //
                      ModeCase{0, S_IFREG | 0664, "writable by its group"},                //
                      ModeCase{0, S_IFREG | 0646, "writable by all users"},                //
                      ModeCase{0, S_IFDIR | 0775, "writable by its group"},                //
                      ModeCase{0, S_IFDIR | 0777, "writable by its group"},                //
                      // A sticky folder such as /tmp: others cannot replace root's entries.
                      ModeCase{0, S_IFDIR | S_ISVTX | 0777, std::nullopt},                 //
                      ModeCase{1000, S_IFDIR | S_ISVTX | 0777, "owned by uid 1000"},       //
                      // The sticky bit means nothing on a file.
                      ModeCase{0, S_IFREG | S_ISVTX | 0666, "writable by its group"}));

// The real check reads the file and every folder above it. The test runs as root (the
// service's account), which may give files away.
class CommandFileRefusalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to give files away";
    folder_ = scratch_.Path() / "program";
    std::filesystem::create_directory(folder_);
    chmod(folder_.c_str(), 0755);
    chmod(scratch_.Path().c_str(), 0755);
    file_ = (folder_ / "ZelquoIUC.ini").string();
    testing::WriteBytes(file_, "[Zelquo IP Update Client]\n");
    chmod(file_.c_str(), 0644);
  }

  testing::CScratchFolder scratch_;
  std::filesystem::path folder_;
  std::string file_;
};

TEST_F(CommandFileRefusalTest, AcceptsAFileOnlyRootCanChange) { EXPECT_EQ(CommandFileRefusal(file_), std::nullopt); }

TEST_F(CommandFileRefusalTest, RefusesAFileOthersMayWrite) {
  chmod(file_.c_str(), 0666);
  const auto refusal = CommandFileRefusal(file_);
  ASSERT_TRUE(refusal.has_value());
  EXPECT_NE(refusal->find(file_), std::string::npos) << *refusal;
  EXPECT_NE(refusal->find("writable by its group"), std::string::npos) << *refusal;
}

TEST_F(CommandFileRefusalTest, RefusesAFileOrFolderOwnedByAUser) {
  ASSERT_EQ(chown(file_.c_str(), 1000, 1000), 0);
  EXPECT_NE(CommandFileRefusal(file_).value_or("").find("owned by uid 1000"), std::string::npos);
  ASSERT_EQ(chown(file_.c_str(), 0, 0), 0);
  ASSERT_EQ(chown(folder_.c_str(), 1000, 1000), 0);
  EXPECT_NE(CommandFileRefusal(file_).value_or("").find("\"" + folder_.string() + "\""), std::string::npos);
}

// Whoever may rename a folder higher up may put another settings file in its place.
TEST_F(CommandFileRefusalTest, RefusesWhenAFolderAboveIsWritable) {
  chmod(scratch_.Path().c_str(), 0757);
  EXPECT_NE(CommandFileRefusal(file_).value_or("").find("\"" + scratch_.Path().string() + "\""), std::string::npos);
}

TEST_F(CommandFileRefusalTest, JudgesTheTargetOfASymbolicLink) {
  const auto other = scratch_.Path() / "elsewhere";
  std::filesystem::create_directory(other);
  chmod(other.c_str(), 0777);
  const auto target = (other / "real.ini").string();
  testing::WriteBytes(target, "x");
  chmod(target.c_str(), 0644);
  std::filesystem::remove(file_);
  std::filesystem::create_symlink(target, file_);
  EXPECT_NE(CommandFileRefusal(file_).value_or("").find("\"" + other.string() + "\""), std::string::npos);
}

TEST_F(CommandFileRefusalTest, RefusesAMissingFile) {
  std::filesystem::remove(file_);
  EXPECT_NE(CommandFileRefusal(file_).value_or("").find("cannot be examined"), std::string::npos);
}

}  // namespace
}  // namespace zelquo::service
