#include "settings/settings.h"

#include <charconv>

#include "platform/profile_store.h"
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
  return platform::ProfileWriteText(path_, kSettingsSection, key, value);
}

bool CSettingsFile::WriteInt(std::string_view key, int value) const {
  return WriteText(key, IntToText(value));
}

std::string CSettingsFile::ReadEntry(const keys::ListKey& list, int n) const {
  return ReadText(std::string(list.entry) + IntToText(n), "");
}

void CSettingsFile::AppendEntry(const keys::ListKey& list, std::string_view value) const {
  const int count = ReadCount(list);
  WriteText(std::string(list.entry) + IntToText(count + 1), value);
  WriteInt(list.count, count + 1);
}

void CSettingsFile::RemoveEntry(const keys::ListKey& list, int n) const {
  const int count = ReadCount(list);
  if (n < 1 || n > count) return;
  for (int i = n; i < count; ++i) {
    WriteText(std::string(list.entry) + IntToText(i), ReadEntry(list, i + 1));
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
