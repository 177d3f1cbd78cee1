// Typed access to the settings section of the shared settings file. Nothing is cached: every read
// and write goes to the file when it is made, so other programs' changes are seen at once. A
// change of several keys that must not be seen in part is made with CSettingsFile::Change.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/profile_store.h"
#include "settings/settings_keys.h"

namespace zelquo {

inline constexpr char kSettingsSection[] = "Zelquo IP Update Client";

// Typed reads of the settings section, from the file itself (CSettingsFile) or from the file as
// a change sees it (CSettingsChange).
class CSettingsReader {
 public:
  virtual ~CSettingsReader() = default;

  // The stored text (at most 254 characters), or fallback when the key is absent.
  [[nodiscard]] virtual std::string ReadText(std::string_view key, std::string_view fallback) const = 0;
  // The profile integer parse of the stored value (0 when it has no digits), or fallback when
  // the key is absent or its value empty.
  [[nodiscard]] virtual int ReadInt(std::string_view key, int fallback) const = 0;
  // "true" or a number parsing as 1 is true, "false" or a number parsing as 0 is false (so is
  // any text without leading digits); other numbers, an empty value and an absent key give
  // fallback.
  [[nodiscard]] bool ReadBool(std::string_view key, bool fallback) const;

  [[nodiscard]] std::string Read(const keys::TextKey& key) const { return ReadText(key.name, key.fallback); }
  [[nodiscard]] int Read(const keys::IntKey& key) const { return ReadInt(key.name, key.fallback); }

  // Numbered lists. The count (0 when absent), and entry `column` of row n (from 1; empty when
  // absent); column 0 is the whole row of a one-entry list. A stored count past the last row
  // the file holds reads as that row's number plus one (the absent rows after it would all read
  // alike, empty), so that a count typed into the file never makes a loop run on through millions
  // of rows that are not there.
  [[nodiscard]] int ReadCount(const keys::ListKey& list) const;
  [[nodiscard]] std::string ReadEntry(const keys::ListKey& list, int n, std::size_t column = 0) const;
  // Every entry of row n, in the order of the list's entry keys.
  [[nodiscard]] std::vector<std::string> ReadRow(const keys::ListKey& list, int n) const;

 protected:
  // The names of the section's keys, for ReadCount.
  [[nodiscard]] virtual std::vector<std::string> KeyNames() const = 0;
};

// Reads of one version of the file (see CSettingsFile::ReadTogether).
class CSettingsSnapshot : public CSettingsReader {
 public:
  explicit CSettingsSnapshot(const platform::CProfileSection& section) : section_(section) {}

  [[nodiscard]] std::string ReadText(std::string_view key, std::string_view fallback) const override;
  [[nodiscard]] int ReadInt(std::string_view key, int fallback) const override;

 protected:
  [[nodiscard]] std::vector<std::string> KeyNames() const override { return section_.KeyNames(); }

 private:
  const platform::CProfileSection& section_;
};

// A change of several keys that lands as one: the reads see the file as it was when the change
// began (not its own writes), and the writes are stored together by CSettingsFile::Change.
class CSettingsChange final : public CSettingsSnapshot {
 public:
  using CSettingsSnapshot::CSettingsSnapshot;

  // As CSettingsFile's writes.
  void WriteText(std::string_view key, std::string_view value);
  void WriteInt(std::string_view key, int value);
  void Write(const keys::TextKey& key, std::string_view value) { WriteText(key.name, value); }
  void Write(const keys::IntKey& key, int value) { WriteInt(key.name, value); }
  void AppendRow(const keys::ListKey& list, const std::vector<std::string>& row);
  void RemoveRow(const keys::ListKey& list, int n);

  [[nodiscard]] platform::ProfileWrites TakeWrites() { return std::move(writes_); }

 private:
  platform::ProfileWrites writes_;
};

// One settings file. The engine's operations take the file they work on, so that tests can give
// them a file of their own; programs use ProgramSettings().
class CSettingsFile : public CSettingsReader {
 public:
  explicit CSettingsFile(std::string path) : path_(std::move(path)) {}

  [[nodiscard]] const std::string& Path() const { return path_; }

  [[nodiscard]] std::string ReadText(std::string_view key, std::string_view fallback) const override;
  [[nodiscard]] int ReadInt(std::string_view key, int fallback) const override;

  // A failed write (a read-only folder, say) returns false and leaves the old value, which the
  // next read returns; it is also handed to the write-failure handler, when one is set. Line
  // breaks in a value are dropped, so a value is always one line of the file, and a value ends
  // at a NUL byte. A value that begins and ends with the same quote character (white space around
  // it aside) is stored in one more pair of double quotes, which the read drops again: every
  // value reads back as written.
  bool WriteText(std::string_view key, std::string_view value) const;
  bool WriteInt(std::string_view key, int value) const;
  bool Write(const keys::TextKey& key, std::string_view value) const { return WriteText(key.name, value); }
  bool Write(const keys::IntKey& key, int value) const { return WriteInt(key.name, value); }

  // Runs body on the file as it is and stores its writes as one change (see
  // platform::ProfileEditSection: on POSIX under the file's lock, in one replacement of the file).
  bool Change(const std::function<void(CSettingsChange&)>& body) const;
  // Runs body on one version of the file, so that keys changed together are read together (see
  // platform::ProfileReadSection).
  void ReadTogether(const std::function<void(const CSettingsReader&)>& body) const;

  // Appends a row: writes every entry of row count+1 (entries the row lacks as empty text, so that
  // no stale entry of an earlier row shows through) and the new count, as one change.
  bool AppendRow(const keys::ListKey& list, const std::vector<std::string>& row) const;
  // Appends the row of a one-entry list.
  bool AppendEntry(const keys::ListKey& list, std::string_view value) const {
    return AppendRow(list, {std::string(value)});
  }
  // Removes row n: moves every later row down by one, whole, and writes count-1, as one change.
  // The old last row stays in the file; readers ignore rows above the count.
  bool RemoveRow(const keys::ListKey& list, int n) const;

  // Called with every failed write, straight after it fails (on POSIX errno still says why).
  void SetWriteFailureHandler(std::function<void()> handler) { write_failed_ = std::move(handler); }

 protected:
  [[nodiscard]] std::vector<std::string> KeyNames() const override;

 private:
  bool Reported(bool written) const;

  std::string path_;
  std::function<void()> write_failed_;
};

// The settings file of the running program, at GetSettingsPath() as it is now.
[[nodiscard]] CSettingsFile ProgramSettings();

// The decimal text of n, as used for numbered keys.
[[nodiscard]] std::string IntToText(int n);

// The operations on the running program's settings file.
[[nodiscard]] std::string ReadSettingText(std::string_view key, std::string_view fallback);
void WriteSettingText(std::string_view key, std::string_view value);
[[nodiscard]] int ReadSettingInt(std::string_view key, int fallback);
void WriteSettingInt(std::string_view key, int value);
[[nodiscard]] bool ReadSettingBool(std::string_view key, bool fallback);

}  // namespace zelquo
