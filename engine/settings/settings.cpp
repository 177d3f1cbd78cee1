#include "settings/settings.h"

#include <charconv>

#include "platform/profile_store.h"
#include "settings/ini_document.h"
#include "settings/settings_path.h"

namespace zelquo {

std::string CSettingsFile::ReadText(std::string_view key, std::string_view fallback) const {
  return platform::ProfileReadText(path_, kSettingsSection, key, fallback);
}

int CSettingsFile::ReadInt(std::string_view key, int fallback) const {
  return platform::ProfileReadInt(path_, kSettingsSection, key, fallback);
}

bool CSettingsFile::ReadBool(std::string_view key, bool fallback) const {
  // The words are tested before the number: the integer parse reads "true" as 0, which would
  // otherwise make a stored "true" read as false.
  const std::string word = ReadText(key, "");
  if (word == "true") return true;
  if (word == "false") return false;
  const int number = ReadInt(key, 2);
  if (number == 1) return true;
  if (number == 0) return false;
  return fallback;
}

bool CSettingsFile::WriteText(std::string_view key, std::string_view value) const {
  // Line breaks are dropped here, before either store sees the value: the system's profile
  // functions write them as they are, so a value could otherwise add key lines of its own. Both
  // stores end a value at a NUL byte; it is cut there first, so that the quotes below enclose
  // what is stored.
  std::string stored;
  for (const char c : value.substr(0, value.find('\0'))) {
    if (c != '\r' && c != '\n') stored.push_back(c);
  }
  // The profile read drops one pair of enclosing quotes, so a value in quotes (a program path
  // with spaces, "C:\Program Files\...\notify.exe") gets one more pair and reads back whole.
  // The read drops them before it cuts a long value to its 254 characters, so those still come
  // from the value as written. Every other value is stored as it is.
  if (ProfileReadUnquotes(stored)) stored = '"' + stored + '"';
  return platform::ProfileWriteText(path_, kSettingsSection, key, stored);
}

bool CSettingsFile::WriteInt(std::string_view key, int value) const {
  return WriteText(key, IntToText(value));
}

namespace {

std::string EntryKey(const keys::ListKey& list, int n, std::size_t column) {
  return std::string(list.entries[column]) + IntToText(n);
}

}  // namespace

std::string CSettingsFile::ReadEntry(const keys::ListKey& list, int n, std::size_t column) const {
  if (column >= list.entries.size()) return {};
  return ReadText(EntryKey(list, n, column), "");
}

std::vector<std::string> CSettingsFile::ReadRow(const keys::ListKey& list, int n) const {
  std::vector<std::string> row;
  for (std::size_t column = 0; column < list.entries.size(); ++column) row.push_back(ReadEntry(list, n, column));
  return row;
}

void CSettingsFile::AppendRow(const keys::ListKey& list, const std::vector<std::string>& row) const {
  const int count = ReadCount(list);
  for (std::size_t column = 0; column < list.entries.size(); ++column) {
    WriteText(EntryKey(list, count + 1, column), column < row.size() ? row[column] : std::string());
  }
  WriteInt(list.count, count + 1);
}

void CSettingsFile::RemoveRow(const keys::ListKey& list, int n) const {
  const int count = ReadCount(list);
  if (n < 1 || n > count) return;
  for (int i = n; i < count; ++i) {
    for (std::size_t column = 0; column < list.entries.size(); ++column) {
      WriteText(EntryKey(list, i, column), ReadEntry(list, i + 1, column));
    }
  }
  WriteInt(list.count, count - 1);
}

CSettingsFile ProgramSettings() { return CSettingsFile(GetSettingsPath()); }

std::string IntToText(int n) {
  char digits[16];
  const auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
  return std::string(digits, end);
}

std::string ReadSettingText(std::string_view key, std::string_view fallback) {
  return ProgramSettings().ReadText(key, fallback);
}

void WriteSettingText(std::string_view key, std::string_view value) {
  ProgramSettings().WriteText(key, value);
}

int ReadSettingInt(std::string_view key, int fallback) {
  return ProgramSettings().ReadInt(key, fallback);
}

void WriteSettingInt(std::string_view key, int value) { ProgramSettings().WriteInt(key, value); }

bool ReadSettingBool(std::string_view key, bool fallback) {
  return ProgramSettings().ReadBool(key, fallback);
}

}  // namespace zelquo
