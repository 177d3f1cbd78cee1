#include "settings/settings.h"

#include <algorithm>
#include <charconv>

#include "platform/profile_store.h"
#include "settings/ini_document.h"
#include "settings/settings_path.h"
#include "text/equals_ignoring_case.h"

namespace zelquo {

namespace {

// The form a value is stored in. Line breaks are dropped here, before either store sees the
// value: the system's profile functions write them as they are, so a value could otherwise add
// key lines of its own. Both stores end a value at a NUL byte; it is cut there first, so that the
// quotes below enclose what is stored.
std::string StoredForm(std::string_view value) {
  std::string stored;
  for (const char c : value.substr(0, value.find('\0'))) {
    if (c != '\r' && c != '\n') stored.push_back(c);
  }
  // The profile read drops one pair of enclosing quotes, so a value in quotes (a program path
  // with spaces, "C:\Program Files\...\notify.exe") gets one more pair and reads back whole.
  // The read drops them before it cuts a long value to its 254 characters, so those still come
  // from the value as written. Every other value is stored as it is.
  if (ProfileReadUnquotes(stored)) stored = '"' + stored + '"';
  return stored;
}

std::string EntryKey(const keys::ListKey& list, int n, std::size_t column) {
  return std::string(list.entries[column]) + IntToText(n);
}

// The row number of an entry key of list ("domain_name12" gives 12), or 0 for any other key.
// Only the decimal form IntToText writes counts, since that is the only one a row is read by.
long long RowNumberOf(const keys::ListKey& list, std::string_view key) {
  for (const char* entry : list.entries) {
    const std::string_view prefix(entry);
    if (key.size() <= prefix.size() || !EqualsIgnoringCase(key.substr(0, prefix.size()), prefix)) continue;
    const std::string_view digits = key.substr(prefix.size());
    if (digits.size() > 10 || digits.front() == '0') continue;
    long long n = 0;
    const char* const end = digits.data() + digits.size();
    if (std::from_chars(digits.data(), end, n).ptr != end) continue;
    if (n > 0) return n;
  }
  return 0;
}

}  // namespace

bool CSettingsReader::ReadBool(std::string_view key, bool fallback) const {
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

int CSettingsReader::ReadCount(const keys::ListKey& list) const {
  const int count = ReadInt(list.count, 0);
  if (count <= 0) return count;
  long long last = 0;
  for (const std::string& key : KeyNames()) {
    const long long n = RowNumberOf(list, key);
    if (n <= count && n > last) last = n;
  }
  // Every row past the last one present reads alike, all empty: one of them is what the rest
  // would say.
  return static_cast<int>(std::min<long long>(count, last + 1));
}

std::string CSettingsReader::ReadEntry(const keys::ListKey& list, int n, std::size_t column) const {
  if (column >= list.entries.size()) return {};
  return ReadText(EntryKey(list, n, column), "");
}

std::vector<std::string> CSettingsReader::ReadRow(const keys::ListKey& list, int n) const {
  std::vector<std::string> row;
  for (std::size_t column = 0; column < list.entries.size(); ++column) row.push_back(ReadEntry(list, n, column));
  return row;
}

std::string CSettingsSnapshot::ReadText(std::string_view key, std::string_view fallback) const {
  return section_.ReadText(key, fallback);
}

int CSettingsSnapshot::ReadInt(std::string_view key, int fallback) const { return section_.ReadInt(key, fallback); }

void CSettingsChange::WriteText(std::string_view key, std::string_view value) {
  writes_.emplace_back(std::string(key), StoredForm(value));
}

void CSettingsChange::WriteInt(std::string_view key, int value) { WriteText(key, IntToText(value)); }

void CSettingsChange::AppendRow(const keys::ListKey& list, const std::vector<std::string>& row) {
  const int count = ReadCount(list);
  for (std::size_t column = 0; column < list.entries.size(); ++column) {
    WriteText(EntryKey(list, count + 1, column), column < row.size() ? row[column] : std::string());
  }
  WriteInt(list.count, count + 1);
}

void CSettingsChange::RemoveRow(const keys::ListKey& list, int n) {
  const int count = ReadCount(list);
  if (n < 1 || n > count) return;
  for (int i = n; i < count; ++i) {
    for (std::size_t column = 0; column < list.entries.size(); ++column) {
      WriteText(EntryKey(list, i, column), ReadEntry(list, i + 1, column));
    }
  }
  WriteInt(list.count, count - 1);
}

std::string CSettingsFile::ReadText(std::string_view key, std::string_view fallback) const {
  return platform::ProfileReadText(path_, kSettingsSection, key, fallback);
}

int CSettingsFile::ReadInt(std::string_view key, int fallback) const {
  return platform::ProfileReadInt(path_, kSettingsSection, key, fallback);
}

std::vector<std::string> CSettingsFile::KeyNames() const { return platform::ProfileKeyNames(path_, kSettingsSection); }

bool CSettingsFile::Reported(bool written) const {
  if (!written && write_failed_) write_failed_();
  return written;
}

bool CSettingsFile::WriteText(std::string_view key, std::string_view value) const {
  return Reported(platform::ProfileWriteText(path_, kSettingsSection, key, StoredForm(value)));
}

bool CSettingsFile::WriteInt(std::string_view key, int value) const {
  return WriteText(key, IntToText(value));
}

bool CSettingsFile::Change(const std::function<void(CSettingsChange&)>& body) const {
  return Reported(platform::ProfileEditSection(path_, kSettingsSection, [&](const platform::CProfileSection& section) {
    CSettingsChange change(section);
    body(change);
    return change.TakeWrites();
  }));
}

void CSettingsFile::ReadTogether(const std::function<void(const CSettingsReader&)>& body) const {
  platform::ProfileReadSection(path_, kSettingsSection,
                               [&](const platform::CProfileSection& section) { body(CSettingsSnapshot(section)); });
}

bool CSettingsFile::AppendRow(const keys::ListKey& list, const std::vector<std::string>& row) const {
  return Change([&](CSettingsChange& change) { change.AppendRow(list, row); });
}

bool CSettingsFile::RemoveRow(const keys::ListKey& list, int n) const {
  return Change([&](CSettingsChange& change) { change.RemoveRow(list, n); });
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
