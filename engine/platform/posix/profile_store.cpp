// POSIX settings store: the project's INI document over a plain file. Unlike the Windows profile
// functions it is safe for several writers and for crashes: every read-modify-write holds an
// exclusive lock on the file's folder, and the new content goes to a temporary file in the same
// folder that is renamed over the old one, so a reader sees either the old file or the new one,
// never a half-written one.
#include "platform/profile_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
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
  if (::fstat(fd.Get(), &content.info) != 0 || !S_ISREG(content.info.st_mode) ||
      content.info.st_size > kMaxSettingsFileSize) {
    content.state = ReadState::kUnusable;
    return content;
  }
  content.bytes.reserve(static_cast<std::size_t>(content.info.st_size));
  char buffer[65536];
  for (;;) {
    const ssize_t got = ::read(fd.Get(), buffer, sizeof buffer);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      content.state = ReadState::kUnusable;
      return content;
    }
    content.bytes.append(buffer, static_cast<std::size_t>(got));
    if (content.bytes.size() > static_cast<std::size_t>(kMaxSettingsFileSize)) {
      content.state = ReadState::kUnusable;
      return content;
    }
  }
  content.state = ReadState::kRead;
  return content;
}

std::optional<std::string> FindValue(const std::string& path, std::string_view section,
                                     std::string_view key) {
  FileContent content = ReadWholeFile(path);
  if (content.state != ReadState::kRead) return std::nullopt;
  return CIniDocument(std::move(content.bytes)).Find(section, key);
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

// Writes bytes to a new file in folder and renames it over path. The new file keeps the old
// file's mode and owner, so a write never widens who may change the settings.
bool ReplaceFile(const std::string& path, const std::string& folder, std::string_view bytes,
                 const FileContent& old) {
  std::string temp_path = path + ".XXXXXX";
  CUniqueFd temp(::mkostemp(temp_path.data(), O_CLOEXEC));
  if (!temp.Valid()) return false;
  bool ok = WriteAll(temp.Get(), bytes);
  if (ok && old.state == ReadState::kRead) {
    ok = ::fchmod(temp.Get(), old.info.st_mode & 07777) == 0;
    if (ok && (old.info.st_uid != ::geteuid() || old.info.st_gid != ::getegid())) {
      // Only a privileged writer can keep a foreign owner; anyone else keeps the file as theirs.
      (void)::fchown(temp.Get(), old.info.st_uid, old.info.st_gid);
    }
  } else if (ok) {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ok = ::fchmod(temp.Get(), 0666 & ~mask) == 0;
  }
  ok = ok && ::fsync(temp.Get()) == 0;
  ok = ::close(temp.Release()) == 0 && ok;
  ok = ok && ::rename(temp_path.c_str(), path.c_str()) == 0;
  if (!ok) {
    ::unlink(temp_path.c_str());
    return false;
  }
  CUniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.Valid()) (void)::fsync(dir.Get());
  return true;
}

}  // namespace

std::string ProfileReadText(const std::string& path, std::string_view section, std::string_view key,
                            std::string_view def) {
  std::string value = FindValue(path, section, key).value_or(std::string(def));
  if (value.size() >= kProfileTextBufferSize) value.resize(kProfileTextBufferSize - 1);
  return value;
}

int ProfileReadInt(const std::string& path, std::string_view section, std::string_view key, int def) {
  const auto value = FindValue(path, section, key);
  return value ? ParseProfileInt(*value) : def;
}

bool ProfileWriteText(const std::string& path, std::string_view section, std::string_view key,
                      std::string_view value) {
  const std::string folder = FolderOf(path);
  CUniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!dir.Valid()) return false;
  while (::flock(dir.Get(), LOCK_EX) != 0) {
    if (errno != EINTR) return false;
  }
  FileContent old = ReadWholeFile(path);
  // A file that exists but cannot be read is never replaced: its content would be lost.
  if (old.state == ReadState::kUnusable) return false;
  CIniDocument document(std::move(old.bytes));
  if (!document.Set(section, key, value)) return false;
  return ReplaceFile(path, folder, document.Bytes(), old);
  // The folder lock ends when dir is closed.
}

}  // namespace zelquo::platform
