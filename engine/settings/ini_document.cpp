#include "settings/ini_document.h"

#include <cctype>
#include <climits>
#include <cstdint>
#include <vector>

namespace zelquo {

namespace {

// CR and the DOS end-of-file byte count as white space, as in the system's profile reader.
bool IsProfileSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == '\x1a';
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsProfileSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsProfileSpace(text.back())) text.remove_suffix(1);
  return text;
}

// Names compare up to a NUL byte, as the system's C strings would.
std::string_view UpToNul(std::string_view text) { return text.substr(0, text.find('\0')); }

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  a = UpToNul(a);
  b = UpToNul(b);
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

struct Line {
  std::size_t begin;    // offset of the line in the document
  std::size_t end;      // offset just past its line feed (or the end of the document)
  enum class Kind { kBlank, kSection, kKey } kind;
  std::string_view name;                 // section or key name
  std::optional<std::string_view> value; // key lines with "=" only
};

Line ParseLine(std::string_view bytes, std::size_t begin) {
  const auto feed = bytes.find('\n', begin);
  const std::size_t end = feed == std::string_view::npos ? bytes.size() : feed + 1;
  Line line{begin, end, Line::Kind::kBlank, {}, std::nullopt};
  const std::string_view content = Trim(bytes.substr(begin, end - begin));
  if (content.empty()) return line;
  if (content.front() == '[') {
    if (const auto close = content.rfind(']'); close != std::string_view::npos) {
      line.kind = Line::Kind::kSection;
      line.name = content.substr(1, close - 1);
      return line;
    }
  }
  line.kind = Line::Kind::kKey;
  const auto equals = content.find('=');
  if (equals == std::string_view::npos) {
    line.name = content;
    return line;
  }
  line.name = Trim(content.substr(0, equals));
  line.value = Trim(content.substr(equals + 1));
  return line;
}

// Where a section's lines are: its header line and the lines up to the next header.
struct SectionSpan {
  bool found = false;
  std::size_t body_end = 0;         // just past the section's last non-blank line
  std::optional<Line> key;          // the first line of the wanted key, when present
};

// Hands visit each line of the first section named `section`, its header first, until visit
// returns false. Only the first section of that name counts, as for the system's functions.
template <class Visit>
void VisitSection(std::string_view bytes, std::string_view section, Visit visit) {
  bool inside = false;
  for (std::size_t at = 0; at < bytes.size();) {
    const Line line = ParseLine(bytes, at);
    at = line.end;
    if (line.kind == Line::Kind::kSection) {
      if (inside) return;
      inside = EqualsIgnoringCase(line.name, section);
    }
    if (inside && !visit(line)) return;
  }
}

// A reader (until_key) stops at the key; a writer needs the section's end as well.
SectionSpan Locate(std::string_view bytes, std::string_view section, std::string_view key, bool until_key) {
  SectionSpan span;
  VisitSection(bytes, section, [&](const Line& line) {
    if (line.kind == Line::Kind::kSection) {
      span.found = true;
      span.body_end = line.end;
      return true;
    }
    if (line.kind == Line::Kind::kBlank) return true;
    span.body_end = line.end;
    if (!span.key && EqualsIgnoringCase(line.name, key)) {
      span.key = line;
      return !until_key;
    }
    return true;
  });
  return span;
}

std::string DetectNewLine(std::string_view bytes, std::string_view fallback) {
  const auto feed = bytes.find('\n');
  if (feed == std::string_view::npos) return std::string(fallback);
  return feed > 0 && bytes[feed - 1] == '\r' ? "\r\n" : "\n";
}

bool IsStorableName(std::string_view name) {
  return !name.empty() && name.find_first_of("\r\n\0", 0, 3) == std::string_view::npos;
}

}  // namespace

CIniDocument::CIniDocument(std::string bytes, std::string_view new_line)
    : bytes_(std::move(bytes)), new_line_(new_line) {}

std::optional<std::string> CIniDocument::Find(std::string_view section, std::string_view key) const {
  const SectionSpan span = Locate(bytes_, Trim(section), Trim(key), /*until_key=*/true);
  if (!span.key || !span.key->value) return std::nullopt;
  std::string_view value = UpToNul(*span.key->value);
  if (ProfileReadUnquotes(value)) value = value.substr(1, value.size() - 2);
  return std::string(value);
}

std::vector<std::string> CIniDocument::KeyNames(std::string_view section) const {
  std::vector<std::string> names;
  VisitSection(bytes_, Trim(section), [&](const Line& line) {
    if (line.kind == Line::Kind::kKey) names.emplace_back(UpToNul(line.name));
    return true;
  });
  return names;
}

bool CIniDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
  section = Trim(section);
  key = Trim(key);
  // A key beginning with "[" would be read back as a section header, moving the keys after it.
  if (!IsStorableName(key) || key.find('=') != std::string_view::npos || key.front() == '[' ||
      section.find_first_of("\r\n\0]", 0, 4) != std::string_view::npos) {
    return false;
  }
  std::string clean_value;
  for (const char c : UpToNul(value)) {
    if (c != '\r' && c != '\n') clean_value.push_back(c);
  }
  const std::string new_line = DetectNewLine(bytes_, new_line_);
  const SectionSpan span = Locate(bytes_, section, key, /*until_key=*/false);

  if (span.key) {
    // Keep the key's own spelling and the line's own ending; replace what follows the name.
    const Line& line = *span.key;
    const std::size_t name_begin = static_cast<std::size_t>(line.name.data() - bytes_.data());
    std::string_view ending = std::string_view(bytes_).substr(line.begin, line.end - line.begin);
    const std::string line_end = ending.ends_with("\r\n") ? "\r\n" : ending.ends_with("\n") ? "\n" : "";
    const std::size_t replace_from = name_begin + line.name.size();
    bytes_.replace(replace_from, line.end - replace_from, "=" + clean_value + line_end);
    return true;
  }

  const std::string entry = std::string(key) + "=" + clean_value + new_line;
  if (span.found) {
    std::size_t insert_at = span.body_end;
    if (insert_at > 0 && bytes_[insert_at - 1] != '\n') {
      bytes_.insert(insert_at, new_line);
      insert_at += new_line.size();
    }
    bytes_.insert(insert_at, entry);
    return true;
  }
  if (!bytes_.empty() && bytes_.back() != '\n') bytes_ += new_line;
  bytes_ += "[" + std::string(section) + "]" + new_line + entry;
  return true;
}

bool ProfileReadUnquotes(std::string_view stored) {
  const std::string_view value = Trim(stored);
  return value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front();
}

int ParseProfileInt(std::string_view text) {
  text = Trim(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  // The system's parse takes a lower-case "0x", "0o" or "0b" after the sign as a base prefix.
  unsigned base = 10;
  if (text.size() >= 2 && text[0] == '0') {
    base = text[1] == 'x' ? 16 : text[1] == 'o' ? 8 : text[1] == 'b' ? 2 : 10;
    if (base != 10) text.remove_prefix(2);
  }
  std::uint32_t value = 0;
  for (const char c : text) {
    const unsigned digit = c >= '0' && c <= '9'   ? static_cast<unsigned>(c - '0')
                           : c >= 'a' && c <= 'z' ? static_cast<unsigned>(c - 'a' + 10)
                           : c >= 'A' && c <= 'Z' ? static_cast<unsigned>(c - 'A' + 10)
                                                  : base;
    if (digit >= base) break;
    // Overlong digit runs wrap like the system's 32-bit parse instead of overflowing.
    value = value * base + digit;
  }
  return static_cast<int>(negative ? 0u - value : value);
}

int ProfileIntOf(const std::optional<std::string>& stored, int def) {
  return stored && !stored->empty() ? ParseProfileInt(*stored) : def;
}

}  // namespace zelquo
