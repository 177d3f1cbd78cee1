// The settings document reader and writer: any bytes parse, and whatever Set writes, Find reads
// back, from the edited bytes and from a fresh parse of them, without disturbing other keys.
#include <cctype>
#include <optional>
#include <string>

#include "fuzz/fuzz_input.h"
#include "settings/ini_document.h"

namespace {

bool IsProfileSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == '\x1a';
}

// What a reader gets back for a written value: line breaks dropped, cut at NUL, surrounding
// white space trimmed, one pair of matching quotes removed.
std::string ExpectedReadBack(std::string_view written) {
  std::string value;
  for (const char c : written.substr(0, written.find('\0'))) {
    if (c != '\r' && c != '\n') value.push_back(c);
  }
  while (!value.empty() && IsProfileSpace(value.front())) value.erase(value.begin());
  while (!value.empty() && IsProfileSpace(value.back())) value.pop_back();
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return value;
}

// A name as the document compares it: trimmed, then up to a NUL byte.
std::string ComparedName(std::string_view name) {
  while (!name.empty() && IsProfileSpace(name.front())) name.remove_prefix(1);
  while (!name.empty() && IsProfileSpace(name.back())) name.remove_suffix(1);
  return std::string(name.substr(0, name.find('\0')));
}

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using zelquo::fuzz::Require;
  // document \x01 section \x01 key \x01 value \x01 other key
  const auto parts = zelquo::fuzz::SplitInput(data, size, '\x01', 5);
  if (parts.size() < 5) {
    (void)zelquo::CIniDocument(parts[0]).Find("Zelquo IP Update Client", "password");
    return 0;
  }
  const std::string& section = parts[1];
  const std::string& key = parts[2];
  const std::string& value = parts[3];
  const std::string& other_key = parts[4];

  zelquo::CIniDocument document(parts[0]);
  const std::optional<std::string> other_before = document.Find(section, other_key);
  if (!document.Set(section, key, value)) {
    Require(document.Bytes() == parts[0], "a refused write leaves the document as it was");
    return 0;
  }
  const std::string expected = ExpectedReadBack(value);
  Require(document.Find(section, key) == expected, "a written value reads back");
  Require(zelquo::CIniDocument(document.Bytes()).Find(section, key) == expected,
          "a written value reads back from the saved bytes");

  if (!SameNameIgnoringCase(ComparedName(other_key), ComparedName(key))) {
    Require(document.Find(section, other_key) == other_before, "a write leaves other keys alone");
  }

  const std::string once = document.Bytes();
  document.Set(section, key, value);
  Require(document.Bytes() == once, "writing the same value again changes nothing");
  return 0;
}
