// Typed access to the settings section of the shared settings file. Nothing is cached: every read
// and write goes to the file when it is made, so other programs' changes are seen at once.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "settings/settings_keys.h"

namespace zelquo {

inline constexpr char kSettingsSection[] = "Zelquo IP Update Client";

// One settings file. The engine's operations take the file they work on, so that tests can give
// them a file of their own; programs use ProgramSettings().
class CSettingsFile {
 public:
  explicit CSettingsFile(std::string path) : path_(std::move(path)) {}

  [[nodiscard]] const std::string& Path() const { return path_; }

  // The stored text (at most 254 characters), or fallback when the key is absent.
  [[nodiscard]] std::string ReadText(std::string_view key, std::string_view fallback) const;
  // The profile integer parse of the stored value (0 when it has no digits), or fallback when
  // the key is absent or its value empty.
  [[nodiscard]] int ReadInt(std::string_view key, int fallback) const;
  // "true" or a number parsing as 1 is true, "false" or a number parsing as 0 is false (so is
  // any text without leading digits); other numbers, an empty value and an absent key give
  // fallback.
  [[nodiscard]] bool ReadBool(std::string_view key, bool fallback) const;
  // Writes fail silently (a read-only folder, say): the next read returns the old value. Line
  // breaks in a value are dropped, so a value is always one line of the file, and a value ends
  // at a NUL byte. A value that begins and ends with the same quote character (white space around
  // it aside) is stored in one more pair of double quotes, which the read drops again: every
  // value reads back as written.
  bool WriteText(std::string_view key, std::string_view value) const;
  bool WriteInt(std::string_view key, int value) const;

  [[nodiscard]] std::string Read(const keys::TextKey& key) const { return ReadText(key.name, key.fallback); }
  [[nodiscard]] int Read(const keys::IntKey& key) const { return ReadInt(key.name, key.fallback); }
  bool Write(const keys::TextKey& key, std::string_view value) const { return WriteText(key.name, value); }
  bool Write(const keys::IntKey& key, int value) const { return WriteInt(key.name, value); }

  // Numbered lists. The count (0 when absent), and entry `column` of row n (from 1; empty when
  // absent); column 0 is the whole row of a one-entry list.
  [[nodiscard]] int ReadCount(const keys::ListKey& list) const { return ReadInt(list.count, 0); }
  [[nodiscard]] std::string ReadEntry(const keys::ListKey& list, int n, std::size_t column = 0) const;
  // Every entry of row n, in the order of the list's entry keys.
  [[nodiscard]] std::vector<std::string> ReadRow(const keys::ListKey& list, int n) const;
  // Appends a row: writes every entry of row count+1 (entries the row lacks as empty text, so that
  // no stale entry of an earlier row shows through), then the new count.
  void AppendRow(const keys::ListKey& list, const std::vector<std::string>& row) const;
  // Appends the row of a one-entry list.
  void AppendEntry(const keys::ListKey& list, std::string_view value) const {
    AppendRow(list, {std::string(value)});
  }
  // Removes row n: moves every later row down by one, whole, and writes count-1. The old last row
  // stays in the file; readers ignore rows above the count.
  void RemoveRow(const keys::ListKey& list, int n) const;

 private:
  std::string path_;
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
