// An INI file held as its bytes, read and edited with the semantics of the Windows profile
// functions: section and key names match without regard to case, the first matching section and
// the first matching key in it win, whitespace around names and values is not part of them,
// a value in matching quotes loses the quotes, and a write replaces the value in place, leaving
// every other byte of the file as it was. Reading and writing files is left to the caller.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zelquo {

class CIniDocument {
 public:
  // new_line is used for lines added to a document that has no line end of its own yet.
  explicit CIniDocument(std::string bytes, std::string_view new_line = "\n");

  // The value of key in section, or nothing when the key is absent (a key line without "=" counts
  // as absent). The value stops at a NUL byte, as a C string would.
  [[nodiscard]] std::optional<std::string> Find(std::string_view section, std::string_view key) const;

  // Sets key to value, adding the key at the end of the section, or the section at the end of the
  // document, when missing. Line breaks in the value are dropped so that a value can never add
  // lines of its own. False (and no change) for a section or key name that cannot be stored.
  bool Set(std::string_view section, std::string_view key, std::string_view value);

  // The names of the key lines of section (those without "=" too), in document order, as the
  // system lists them: only the first section of that name counts.
  [[nodiscard]] std::vector<std::string> KeyNames(std::string_view section) const;

  [[nodiscard]] const std::string& Bytes() const { return bytes_; }

 private:
  std::string bytes_;
  std::string new_line_;
};

// Whether a profile read drops a pair of quotes from a value stored as `stored`: without the white
// space around it, it is two characters or more long and begins and ends with the same quote
// character, ' or ". The system's profile read drops them alike.
[[nodiscard]] bool ProfileReadUnquotes(std::string_view stored);

// The profile integer parse, as the system's: an optional sign, then the leading digits of the
// text (surrounding whitespace skipped), decimal unless "0x", "0o" or "0b" selects base 16, 8
// or 2; 0 when there are none.
[[nodiscard]] int ParseProfileInt(std::string_view text);

// The profile integer read of a key: def when the key is absent or its value is empty, as the
// system's integer read gives; otherwise ParseProfileInt of the value.
[[nodiscard]] int ProfileIntOf(const std::optional<std::string>& stored, int def);

}  // namespace zelquo
