// Properties of the POSIX settings store that the Windows profile functions do not promise:
// several writing processes, failed and interrupted writes, and files it must not replace.
#include "platform/profile_store.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <iterator>

#include "settings/ini_document.h"
#include "test_files.h"

namespace zelquo::platform {
namespace {

using testing::CScratchFolder;
using testing::ReadBytes;
using testing::WriteBytes;

constexpr char kSection[] = "Zelquo IP Update Client";

// Runs body in a child process and returns its exit status.
template <typename Body>
int InChild(Body body) {
  const pid_t child = fork();
  if (child == 0) _exit(body());
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs body(0) .. body(count - 1) in as many child processes at once; each must exit 0.
template <typename Body>
void InChildrenAtOnce(int count, Body body) {
  std::vector<pid_t> children;
  for (int i = 0; i < count; ++i) {
    const pid_t child = fork();
    if (child == 0) _exit(body(i));
    children.push_back(child);
  }
  for (const pid_t child : children) {
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
}

TEST(PosixProfileStoreTest, WritesFromManyProcessesAtOnceAreAllKept) {
  CScratchFolder folder;
  const std::string path = folder.File("ZelquoIUC.ini");
  constexpr int kWriters = 6;
  constexpr int kKeysEach = 25;
  InChildrenAtOnce(kWriters, [&](int writer) {
    for (int k = 0; k < kKeysEach; ++k) {
      const std::string key = "w" + std::to_string(writer) + "k" + std::to_string(k);
      if (!ProfileWriteText(path, kSection, key, key + "-value")) return 1;
    }
    return 0;
  });
  for (int writer = 0; writer < kWriters; ++writer) {
    for (int k = 0; k < kKeysEach; ++k) {
      const std::string key = "w" + std::to_string(writer) + "k" + std::to_string(k);
      EXPECT_EQ(ProfileReadText(path, kSection, key, ""), key + "-value");
    }
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1)
      << "no temporary files are left behind";
}

TEST(PosixProfileStoreTest, AWriteThatFailsHalfwayLeavesTheOldFile) {
  CScratchFolder folder;
  const std::string path = folder.File("ZelquoIUC.ini");
  WriteBytes(path, "[Zelquo IP Update Client]\nusername=alice\n");
  const std::string before = ReadBytes(path);
  // A file-size limit makes the write of the new content fail part of the way, as a full disk
  // would.
  const int result = InChild([&] {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{64, 64};
    setrlimit(RLIMIT_FSIZE, &limit);
    return ProfileWriteText(path, kSection, "command", std::string(200, 'c')) ? 1 : 0;
  });
  EXPECT_EQ(result, 0) << "the write must report failure";
  EXPECT_EQ(ReadBytes(path), before);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1);
}

TEST(PosixProfileStoreTest, AWriterKilledMidWriteNeverLeavesAHalfWrittenFile) {
  CScratchFolder folder;
  const std::string path = folder.File("ZelquoIUC.ini");
  const std::string a(200000, 'a');
  const std::string b(200000, 'b');
  ASSERT_TRUE(ProfileWriteText(path, kSection, "command", a));
  for (int round = 0; round < 5; ++round) {
    const pid_t child = fork();
    if (child == 0) {
      for (int i = 0;; ++i) ProfileWriteText(path, kSection, "command", i % 2 ? a : b);
    }
    usleep(20000 + round * 7000);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    const auto value = CIniDocument(ReadBytes(path)).Find(kSection, "command");
    ASSERT_TRUE(value.has_value());
    EXPECT_TRUE(*value == a || *value == b) << "length " << value->size();
  }
}

TEST(PosixProfileStoreTest, AWriteKeepsTheFilesModeAndCreatesNewFilesForTheOwnerOnly) {
  CScratchFolder folder;
  const std::string path = folder.File("ZelquoIUC.ini");
  // The umask of a child, so that no other test sees it: neither a lax one nor one that takes the
  // owner's own bits changes the mode of a new file.
  for (const mode_t mask : {mode_t{0}, mode_t{0277}}) {
    std::filesystem::remove(path);
    EXPECT_EQ(InChild([&] {
                umask(mask);
                return ProfileWriteText(path, kSection, "username", "alice") ? 0 : 1;
              }),
              0);
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u) << "umask " << mask;
  }

  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  ASSERT_TRUE(ProfileWriteText(path, kSection, "username", "bob"));
  struct stat info {};
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
}

// Edits from several processes at once, each a read and a write of the same key, lose none of
// the others' changes, and the lock leaves nothing behind in the folder.
TEST(PosixProfileStoreTest, AnEditReadsAndWritesUnderOneLock) {
  CScratchFolder folder;
  const std::string path = folder.File("ZelquoIUC.ini");
  constexpr int kWriters = 4;
  constexpr int kEditsEach = 25;
  InChildrenAtOnce(kWriters, [&](int) {
    for (int k = 0; k < kEditsEach; ++k) {
      const bool ok = ProfileEditSection(path, kSection, [](const CProfileSection& section) {
        const int seen = section.ReadInt("counter", 0);
        return ProfileWrites{{"counter", std::to_string(seen + 1)}, {"twice", std::to_string(2 * (seen + 1))}};
      });
      if (!ok) return 1;
    }
    return 0;
  });
  EXPECT_EQ(ProfileReadInt(path, kSection, "counter", 0), kWriters * kEditsEach);
  EXPECT_EQ(ProfileReadInt(path, kSection, "twice", 0), 2 * kWriters * kEditsEach);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1);
}

// Anyone who can open the folder can flock it; that must not stall a writer. Another writer that
// holds the lock too long fails the write after the time-out instead of stalling it for ever.
TEST(PosixProfileStoreTest, NoOneStallsAWriterForLong) {
  CScratchFolder folder;
  const std::string path = folder.File("ZelquoIUC.ini");
  WriteBytes(path, "[Zelquo IP Update Client]\nusername=alice\n");
  const int folder_fd = open(folder.Path().c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(folder_fd, 0);
  ASSERT_EQ(flock(folder_fd, LOCK_EX), 0);
  EXPECT_EQ(InChild([&] {
              alarm(20);
              return ProfileWriteText(path, kSection, "username", "bob") ? 0 : 1;
            }),
            0);
  close(folder_fd);

  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t holder = fork();
  if (holder == 0) {
    (void)ProfileEditSection(path, kSection, [&](const CProfileSection&) {
      (void)!write(ready[1], "x", 1);
      sleep(5);
      return ProfileWrites{};
    });
    _exit(0);
  }
  char byte = 0;
  ASSERT_EQ(read(ready[0], &byte, 1), 1);
  struct stat lock_file {};
  ASSERT_EQ(stat((path + ".lock").c_str(), &lock_file), 0);
  EXPECT_EQ(lock_file.st_mode & 0777, 0600u);
  const auto start = std::chrono::steady_clock::now();
  errno = 0;
  EXPECT_FALSE(ProfileEditSection(
      path, kSection, [](const CProfileSection&) { return ProfileWrites{{"username", "carol"}}; },
      std::chrono::milliseconds(300)));
  EXPECT_EQ(errno, EWOULDBLOCK);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
  kill(holder, SIGKILL);
  waitpid(holder, nullptr, 0);
  close(ready[0]);
  close(ready[1]);
  EXPECT_EQ(ProfileReadText(path, kSection, "username", ""), "bob");
  // A lock file its holder did not live to remove is taken over by the next writer.
  EXPECT_TRUE(ProfileWriteText(path, kSection, "username", "dave"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1);
}

// The umask belongs to the whole process: a writer that changed it even for a moment could make
// a file that another thread creates meanwhile writable by everyone. A child that is killed by
// the kernel on any umask call must still be able to create a settings file.
TEST(PosixProfileStoreTest, CreatingAFileNeverTouchesTheUmask) {
  CScratchFolder folder;
  const std::string path = folder.File("ZelquoIUC.ini");
  const int result = InChild([&] {
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_umask, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    const sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
        prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0) {
      return 2;
    }
    return ProfileWriteText(path, kSection, "username", "alice") ? 0 : 1;
  });
  EXPECT_EQ(result, 0) << "-1: killed for calling umask";
  EXPECT_EQ(ProfileReadText(path, kSection, "username", ""), "alice");
}

TEST(PosixProfileStoreTest, ASymbolicLinkStaysAndItsTargetIsWritten) {
  CScratchFolder folder;
  std::filesystem::create_directory(folder.Path() / "real");
  const std::string target = folder.File("real/target.ini");
  const std::string link = folder.File("ZelquoIUC.ini");
  WriteBytes(target, "[Zelquo IP Update Client]\nusername=alice\n");
  ASSERT_EQ(symlink("real/target.ini", link.c_str()), 0);
  // A link to a file that does not exist yet creates the file at the link's target.
  const std::string dangling = folder.File("dangling.ini");
  ASSERT_EQ(symlink("real/created.ini", dangling.c_str()), 0);

  ASSERT_TRUE(ProfileWriteText(link, kSection, "location", "home"));
  ASSERT_TRUE(ProfileWriteText(dangling, kSection, "location", "office"));
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_TRUE(std::filesystem::is_symlink(dangling));
  EXPECT_EQ(ReadBytes(target), "[Zelquo IP Update Client]\nusername=alice\nlocation=home\n");
  EXPECT_EQ(ProfileReadText(folder.File("real/created.ini"), kSection, "location", ""), "office");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path() / "real"), {}), 2);
}

// A daemon user may own its settings file in a folder that only root may change: the file is then
// rewritten in place, since no new file can be made beside it.
TEST(PosixProfileStoreTest, AWritableFileInAFolderThatIsNotIsWrittenInPlace) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  const passwd* nobody = getpwnam("nobody");
  const uid_t uid = nobody ? nobody->pw_uid : 65534;
  const gid_t gid = nobody ? nobody->pw_gid : 65534;
  CScratchFolder folder;
  ASSERT_EQ(chmod(folder.Path().c_str(), 0755), 0);
  const std::string path = folder.File("ZelquoIUC.ini");
  WriteBytes(path, "[Zelquo IP Update Client]\nusername=alice\nupdatedip=\n");
  ASSERT_EQ(chown(path.c_str(), uid, gid), 0);
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  struct stat before {};
  ASSERT_EQ(stat(path.c_str(), &before), 0);

  const int result = InChild([&] {
    if (setgid(gid) != 0 || setuid(uid) != 0) return 2;
    // A longer value and then a shorter one: the file must shrink with it.
    const bool longer = ProfileWriteText(path, kSection, "updatedip", "192.0.2.100");
    const bool shorter = ProfileWriteText(path, kSection, "updatedip", "192.0.2.1");
    return longer && shorter ? 0 : 1;
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(ReadBytes(path), "[Zelquo IP Update Client]\nusername=alice\nupdatedip=192.0.2.1\n");
  struct stat after {};
  ASSERT_EQ(stat(path.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(after.st_uid, uid);
  EXPECT_EQ(after.st_mode & 0777, 0640u);
}

TEST(PosixProfileStoreTest, SomethingOtherThanARegularFileIsNeverReplaced) {
  CScratchFolder folder;
  const std::string path = folder.File("ZelquoIUC.ini");
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  EXPECT_EQ(ProfileReadText(path, kSection, "username", "default"), "default");
  EXPECT_EQ(ProfileReadInt(path, kSection, "serverport", 80), 80);
  EXPECT_FALSE(ProfileWriteText(path, kSection, "username", "alice"));
  struct stat info {};
  ASSERT_EQ(lstat(path.c_str(), &info), 0);
  EXPECT_TRUE(S_ISFIFO(info.st_mode));
}

TEST(PosixProfileStoreTest, AFileThatCannotBeReadIsNotOverwritten) {
  CScratchFolder folder;
  const std::string path = folder.File("ZelquoIUC.ini");
  WriteBytes(path, "[Zelquo IP Update Client]\nusername=alice\n");
  ASSERT_EQ(chmod(path.c_str(), 0000), 0);
  // The folder stays writable to everyone, so only the unreadable file can stop the write.
  ASSERT_EQ(chmod(folder.Path().c_str(), 0777), 0);
  const int result = InChild([&] {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) return 2;
    const bool defaults = ProfileReadText(path, kSection, "username", "none") == "none";
    const bool refused = !ProfileWriteText(path, kSection, "username", "mallory");
    return defaults && refused ? 0 : 1;
  });
  EXPECT_EQ(result, 0);
  ASSERT_EQ(chmod(path.c_str(), 0600), 0);
  EXPECT_EQ(ProfileReadText(path, kSection, "username", ""), "alice");
}

TEST(PosixProfileStoreTest, AMissingFolderFailsTheWriteCleanly) {
  CScratchFolder folder;
  const std::string path = folder.File("missing/ZelquoIUC.ini");
  EXPECT_FALSE(ProfileWriteText(path, kSection, "username", "alice"));
  EXPECT_FALSE(std::filesystem::exists(folder.Path() / "missing"));
}

// Reads keep answers found in an unchanged file; a change by another writer, even one that keeps
// the file's size, its inode and its time stamp, is read at once.
TEST(PosixProfileStoreTest, EveryReadSeesTheFileAsItIsNow) {
  CScratchFolder folder;
  const std::string path = folder.File("ZelquoIUC.ini");
  const std::string other = folder.File("other.ini");
  WriteBytes(path, "[Zelquo IP Update Client]\nupdatedip=1.2.3.4\n");
  WriteBytes(other, "[Zelquo IP Update Client]\nupdatedip=9.9.9.9\n");
  struct stat before {};
  ASSERT_EQ(stat(path.c_str(), &before), 0);
  EXPECT_EQ(ProfileReadText(path, kSection, "updatedip", ""), "1.2.3.4");
  EXPECT_EQ(ProfileReadText(other, kSection, "updatedip", ""), "9.9.9.9");

  const int fd = open(path.c_str(), O_WRONLY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(pwrite(fd, "5", 1, sizeof "[Zelquo IP Update Client]\nupdatedip=" - 1), 1);
  const timespec times[2] = {before.st_atim, before.st_mtim};
  ASSERT_EQ(futimens(fd, times), 0);
  close(fd);
  EXPECT_EQ(ProfileReadText(path, kSection, "updatedip", ""), "5.2.3.4");
  EXPECT_EQ(ProfileReadInt(path, kSection, "missing", 7), 7);
  std::filesystem::remove(path);
  EXPECT_EQ(ProfileReadText(path, kSection, "updatedip", "gone"), "gone");
}

}  // namespace
}  // namespace zelquo::platform
