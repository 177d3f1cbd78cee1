// POSIX settings store: the project's INI document over a plain file. Unlike the Windows profile
// functions it is safe for several writers and for crashes: every read-modify-write holds an
// exclusive lock, and the new content goes to a temporary file in the same folder that is renamed
// over the old one, so a reader sees either the old file or the new one, never a half-written one.
// Only where no file can be made in the folder is an existing file rewritten in place, still
// under the lock.
//
// The lock is a lock file beside the settings file, made 0600 by the writer that takes it and
// removed by that writer before it lets go, so only those who may change the folder can hold it:
// a folder lock would let any user who can open the folder (everyone, for a 0755 folder) stall
// every writer. Where the folder is not writable the settings file itself, opened for writing,
// is locked instead. No writer waits longer than its time-out: a write that cannot have the lock
// fails, and errno says EWOULDBLOCK.
#include "platform/profile_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>
#include <utility>

#include "settings/ini_document.h"

#include "platform/posix/unique_fd.h"

namespace zelquo::platform {

namespace {

// A settings file far larger than any real one is treated as unreadable rather than loaded.
constexpr off_t kMaxSettingsFileSize = 64 * 1024 * 1024;


enum class ReadState { kRead, kAbsent, kUnusable };

struct FileContent {
  ReadState state = ReadState::kAbsent;
  std::string bytes;
  struct stat info {};
};

FileContent ReadWholeFile(const std::string& path) {
  FileContent content;
  CUniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (!fd.Valid()) {
    content.state = errno == ENOENT ? ReadState::kAbsent : ReadState::kUnusable;
    return content;
  }
  if (::fstat(fd.Get(), &content.info) != 0) {
    content.state = ReadState::kUnusable;
    return content;
  }
  if (!S_ISREG(content.info.st_mode) || content.info.st_size > kMaxSettingsFileSize) {
    content.state = ReadState::kUnusable;
    errno = S_ISREG(content.info.st_mode) ? EFBIG : EINVAL;
    return content;
  }
  // One byte more than the file's size is asked for, so that a short read (the end of a regular
  // file) ends reading without a further call; a file that grew meanwhile is read on.
  std::size_t have = 0;
  content.bytes.resize(static_cast<std::size_t>(content.info.st_size) + 1);
  for (;;) {
    const ssize_t got = ::read(fd.Get(), content.bytes.data() + have, content.bytes.size() - have);
    if (got < 0) {
      if (errno == EINTR) continue;
      content.state = ReadState::kUnusable;
      return content;
    }
    have += static_cast<std::size_t>(got);
    if (got == 0 || have < content.bytes.size()) break;
    if (have > static_cast<std::size_t>(kMaxSettingsFileSize)) {
      content.state = ReadState::kUnusable;
      errno = EFBIG;
      return content;
    }
    content.bytes.resize(have + 65536);
  }
  content.bytes.resize(have);
  content.state = ReadState::kRead;
  return content;
}

// Every read reads the whole file afresh, but finding a key in it is done once per content: the
// answers are kept with a copy of the bytes they came from and reused while the file holds exactly
// those bytes. A pass reads the same few keys again and again from an unchanged file.
class CReadMemo {
 public:
  std::optional<std::string> Find(const std::string& path, std::string bytes, std::string_view section,
                                  std::string_view key) {
    if (bytes.size() > kMaxMemoFileSize) return CIniDocument(std::move(bytes)).Find(section, key);
    const std::lock_guard lock(mutex_);
    if (!document_ || path != path_ || bytes != document_->Bytes()) {
      path_ = path;
      document_.emplace(std::move(bytes));
      answers_.clear();
    }
    std::string lookup(section);
    lookup.push_back('\0');  // no section name holds a NUL: the pair stays unambiguous
    lookup.append(key);
    const auto known = answers_.find(lookup);
    if (known != answers_.end()) return known->second;
    std::optional<std::string> answer = document_->Find(section, key);
    answers_.emplace(std::move(lookup), answer);
    return answer;
  }

 private:
  static constexpr std::size_t kMaxMemoFileSize = 256 * 1024;
  std::mutex mutex_;
  std::string path_;
  std::optional<CIniDocument> document_;
  std::unordered_map<std::string, std::optional<std::string>> answers_;
};

std::optional<std::string> FindValue(const std::string& path, std::string_view section,
                                     std::string_view key) {
  static CReadMemo memo;
  FileContent content = ReadWholeFile(path);
  if (content.state != ReadState::kRead) return std::nullopt;
  return memo.Find(path, std::move(content.bytes), section, key);
}

std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t put = ::write(fd, bytes.data(), bytes.size());
    if (put < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(put));
  }
  return true;
}

// Follows symbolic links to the file they lead to, which need not exist yet, so that a write
// changes that file and leaves the links as they are. A chain longer than the system would follow
// is returned unresolved; opening it then fails and nothing is written.
std::string ResolveLinks(std::string path) {
  for (int hop = 0; hop < 40; ++hop) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
    std::string target(PATH_MAX, '\0');
    const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= target.size()) return path;
    target.resize(static_cast<std::size_t>(length));
    path = target.front() == '/' ? target : FolderOf(path) + "/" + target;
  }
  return path;
}

// Creates a file of its own beside path. The mode goes to open, which applies the umask itself:
// the umask is never changed, since every thread of the process shares it. Returns the new file's
// descriptor, which the caller owns, or -1.
int CreateTemporaryBeside(const std::string& path, mode_t mode, std::string& temp_path) {
  // The name only has to differ from other writers' names; O_EXCL makes a clash a retry.
  static std::atomic<unsigned> counter{0};
  const auto stamp = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[48];
    std::snprintf(suffix, sizeof suffix, ".%ld.%llx.%x", static_cast<long>(::getpid()), stamp,
                  counter.fetch_add(1));
    temp_path = path + suffix;
    const int fd = ::open(temp_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

enum class ReplaceResult { kDone, kFailed, kFolderNotWritable };

// Writes bytes to a new file in folder and renames it over path. The new file keeps the old
// file's mode and owner, so a write never widens who may change the settings; a new settings
// file is 0600 whatever the umask, since it holds the account's password.
ReplaceResult ReplaceFile(const std::string& path, const std::string& folder, std::string_view bytes,
                          const FileContent& old) {
  const bool had_file = old.state == ReadState::kRead;
  std::string temp_path;
  CUniqueFd temp(CreateTemporaryBeside(path, had_file ? old.info.st_mode & 0777 : 0600, temp_path));
  if (!temp.Valid()) {
    return errno == EACCES || errno == EPERM ? ReplaceResult::kFolderNotWritable : ReplaceResult::kFailed;
  }
  bool ok = true;
  if (!had_file) {
    // open() took the umask off; a umask that also cleared the owner's bits would leave a file
    // its own writer could not read back.
    ok = ::fchmod(temp.Get(), 0600) == 0;
  } else {
    ok = ::fchmod(temp.Get(), old.info.st_mode & 07777) == 0;
    if (ok && (old.info.st_uid != ::geteuid() || old.info.st_gid != ::getegid())) {
      if (::fchown(temp.Get(), old.info.st_uid, old.info.st_gid) != 0) {
        // Only a privileged writer can keep a foreign owner; anyone else keeps the file as theirs.
      }
    }
  }
  ok = ok && WriteAll(temp.Get(), bytes);
  ok = ok && ::fsync(temp.Get()) == 0;
  ok = ::close(temp.Release()) == 0 && ok;
  ok = ok && ::rename(temp_path.c_str(), path.c_str()) == 0;
  if (!ok) {
    ::unlink(temp_path.c_str());
    return ReplaceResult::kFailed;
  }
  CUniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.Valid()) (void)::fsync(dir.Get());
  return ReplaceResult::kDone;
}

// Rewrites the file itself, for a file the process may write in a folder it may not (a daemon
// user's settings in a root-owned folder). Space for the new content is reserved first, so a full
// disk fails the write before any byte changes; a reader that does not take the lock may still
// see a mix of old and new bytes while it runs, which is why this is only the fallback.
bool RewriteInPlace(const std::string& path, std::string_view bytes, const FileContent& old) {
  CUniqueFd fd(::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW));
  struct stat info {};
  if (!fd.Valid() || ::fstat(fd.Get(), &info) != 0 || info.st_dev != old.info.st_dev ||
      info.st_ino != old.info.st_ino) {
    return false;
  }
  if (bytes.size() > static_cast<std::size_t>(info.st_size) &&
      ::posix_fallocate(fd.Get(), 0, static_cast<off_t>(bytes.size())) != 0) {
    return false;
  }
  bool ok = WriteAll(fd.Get(), bytes);
  ok = ok && ::ftruncate(fd.Get(), static_cast<off_t>(bytes.size())) == 0;
  ok = ok && ::fsync(fd.Get()) == 0;
  return ::close(fd.Release()) == 0 && ok;
}


// How long a writer sleeps at most between two tries for a lock that another writer holds.
constexpr std::chrono::milliseconds kLongestLockPause{50};

// Tries for an exclusive flock on fd until deadline; errno is EWOULDBLOCK when time ran out.
bool LockBefore(int fd, std::chrono::steady_clock::time_point deadline) {
  for (std::chrono::milliseconds pause{1};;) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
    if (errno != EWOULDBLOCK && errno != EINTR) return false;
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) {
      errno = EWOULDBLOCK;
      return false;
    }
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(pause, deadline - now));
    pause = std::min(pause * 2, kLongestLockPause);
  }
}

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// The write lock of one settings file, held from Take until it ends.
class CWriteLock {
 public:
  CWriteLock() = default;
  CWriteLock(const CWriteLock&) = delete;
  CWriteLock& operator=(const CWriteLock&) = delete;
  ~CWriteLock() {
    const int saved = errno;
    // Removed while still locked: a writer that waits on this file finds, once it has the lock,
    // that the name no longer leads to it, and tries again with the file that is there then.
    if (fd_.Valid() && !lock_path_.empty()) ::unlink(lock_path_.c_str());
    fd_.Reset();
    errno = saved;
  }

  // False (errno saying why) when the lock was not had before timeout.
  [[nodiscard]] bool Take(const std::string& file, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    const std::string lock_path = file + ".lock";
    for (;;) {
      CUniqueFd fd(::open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK, 0600));
      if (!fd.Valid()) {
        if (errno != EACCES && errno != EPERM && errno != EROFS) return false;
        struct stat info {};
        if (::lstat(lock_path.c_str(), &info) != 0) return TakeFileItself(file, deadline);
        // Another writer's lock file, which it removes when it is done.
        if (std::chrono::steady_clock::now() >= deadline) {
          errno = EWOULDBLOCK;
          return false;
        }
        std::this_thread::sleep_for(kLongestLockPause);
        continue;
      }
      struct stat held {};
      if (::fstat(fd.Get(), &held) != 0) return false;
      if (!S_ISREG(held.st_mode)) {
        errno = EINVAL;
        return false;
      }
      if (!LockBefore(fd.Get(), deadline)) return false;
      struct stat named {};
      if (::lstat(lock_path.c_str(), &named) == 0 && SameFile(held, named)) {
        fd_.Reset(fd.Release());
        lock_path_ = lock_path;
        return true;
      }
      if (std::chrono::steady_clock::now() >= deadline) {
        errno = EWOULDBLOCK;
        return false;
      }
    }
  }

 private:
  // Where no lock file can be made, the file is rewritten in place, so its inode stays and the
  // file itself can carry the lock. Anyone who may read the file can lock it too, but holds up a
  // write only for the time-out; a settings file only its writers may read is safe from that.
  bool TakeFileItself(const std::string& file, std::chrono::steady_clock::time_point deadline) {
    CUniqueFd fd(::open(file.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK));
    if (!fd.Valid() || !LockBefore(fd.Get(), deadline)) return false;
    fd_.Reset(fd.Release());
    return true;
  }

  CUniqueFd fd_;
  std::string lock_path_;  // empty when the settings file itself is locked
};

// The section of a document loaded under the lock, read as ProfileReadText and ProfileReadInt
// read the file.
class CDocumentSection final : public CProfileSection {
 public:
  CDocumentSection(const CIniDocument& document, std::string_view section) : document_(document), section_(section) {}

  [[nodiscard]] std::string ReadText(std::string_view key, std::string_view def) const override {
    std::string value = document_.Find(section_, key).value_or(std::string(def));
    if (value.size() >= kProfileTextBufferSize) value.resize(kProfileTextBufferSize - 1);
    return value;
  }
  [[nodiscard]] int ReadInt(std::string_view key, int def) const override {
    return ProfileIntOf(document_.Find(section_, key), def);
  }
  [[nodiscard]] std::vector<std::string> KeyNames() const override { return document_.KeyNames(section_); }

 private:
  const CIniDocument& document_;
  std::string_view section_;
};

}  // namespace

std::string ProfileReadText(const std::string& path, std::string_view section, std::string_view key,
                            std::string_view def) {
  std::string value = FindValue(path, section, key).value_or(std::string(def));
  if (value.size() >= kProfileTextBufferSize) value.resize(kProfileTextBufferSize - 1);
  return value;
}

int ProfileReadInt(const std::string& path, std::string_view section, std::string_view key, int def) {
  return ProfileIntOf(FindValue(path, section, key), def);
}

bool ProfileWriteText(const std::string& path, std::string_view section, std::string_view key,
                      std::string_view value) {
  return ProfileEditSection(path, section, [&](const CProfileSection&) {
    return ProfileWrites{{std::string(key), std::string(value)}};
  });
}

std::vector<std::string> ProfileKeyNames(const std::string& path, std::string_view section) {
  FileContent content = ReadWholeFile(path);
  if (content.state != ReadState::kRead) return {};
  return CIniDocument(std::move(content.bytes)).KeyNames(section);
}

void ProfileReadSection(const std::string& path, std::string_view section,
                        const std::function<void(const CProfileSection&)>& read) {
  // An unreadable file reads as an empty one, as with ProfileReadText.
  FileContent content = ReadWholeFile(path);
  const CIniDocument document(content.state == ReadState::kRead ? std::move(content.bytes) : std::string());
  read(CDocumentSection(document, section));
}

bool ProfileEditSection(const std::string& path, std::string_view section,
                        const std::function<ProfileWrites(const CProfileSection&)>& edit,
                        std::chrono::milliseconds lock_timeout) {
  // A settings file that is a symbolic link stays one: the write goes to the file it leads to.
  const std::string file = ResolveLinks(path);
  const std::string folder = FolderOf(file);
  CWriteLock lock;
  if (!lock.Take(file, lock_timeout)) return false;
  FileContent old = ReadWholeFile(file);
  // A file that exists but cannot be read is never replaced: its content would be lost.
  if (old.state == ReadState::kUnusable) return false;
  CIniDocument document(std::move(old.bytes));  // old keeps its state and file information
  const ProfileWrites writes = edit(CDocumentSection(document, section));
  if (writes.empty()) return true;
  for (const auto& [key, value] : writes) {
    if (!document.Set(section, key, value)) {
      errno = EINVAL;
      return false;
    }
  }
  switch (ReplaceFile(file, folder, document.Bytes(), old)) {
    case ReplaceResult::kDone:
      return true;
    case ReplaceResult::kFolderNotWritable:
      if (old.state == ReadState::kRead) return RewriteInPlace(file, document.Bytes(), old);
      errno = EACCES;
      return false;
    case ReplaceResult::kFailed:
      break;
  }
  return false;
}

}  // namespace zelquo::platform
