#include "standin_script.h"

#include <charconv>
#include <map>
#include <stdexcept>
#include <utility>

namespace standin {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (IsBlank(text.front()) || text.front() == '\r')) text.remove_prefix(1);
  while (!text.empty() && (IsBlank(text.back()) || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

// Takes the next blank-separated word off the front of `rest`.
std::string_view NextWord(std::string_view& rest) {
  rest = Trim(rest);
  std::size_t end = 0;
  while (end < rest.size() && !IsBlank(rest[end])) ++end;
  const std::string_view word = rest.substr(0, end);
  rest.remove_prefix(end);
  return word;
}

template <typename Number>
bool ParseNumber(std::string_view text, Number& value) {
  const char* const last = text.data() + text.size();
  const auto [end, error] = std::from_chars(text.data(), last, value);
  return !text.empty() && error == std::errc() && end == last;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// \n \r \t \\ and \xHH; false for any other backslash sequence.
bool Unescape(std::string_view text, std::string& out) {
  out.clear();
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
      continue;
    }
    if (++i == text.size()) return false;
    switch (text[i]) {
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 't': out += '\t'; break;
      case '\\': out += '\\'; break;
      case 'x': {
        const int high = i + 1 < text.size() ? HexDigit(text[i + 1]) : -1;
        const int low = i + 2 < text.size() ? HexDigit(text[i + 2]) : -1;
        if (high < 0 || low < 0) return false;
        out += static_cast<char>(high * 16 + low);
        i += 2;
        break;
      }
      default: return false;
    }
  }
  return true;
}

void AppendEscaped(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      default:
        if (u < 0x20 || u == 0x7f) {
          out += "\\x";
          out += kHex[u >> 4];
          out += kHex[u & 0xf];
        } else {
          out += c;
        }
    }
  }
}

[[noreturn]] void Fail(int line, const std::string& why) {
  throw std::runtime_error("script line " + std::to_string(line) + ": " + why);
}

ScriptRule ParseRule(int line_number, std::string_view rest) {
  ScriptRule rule;
  rule.line = line_number;
  const std::string_view path = NextWord(rest);
  if (path.empty() || path.front() != '/') Fail(line_number, "the path must begin with '/'");
  rule.path = std::string(path);

  const std::string_view status = NextWord(rest);
  if (!ParseNumber(status, rule.reply.status) || rule.reply.status < 0 || rule.reply.status > 999) {
    Fail(line_number,
         "the status must be a number from 0 to 999, not '" + std::string(status) + "'");
  }

  bool mode_given = false;
  auto set_mode = [&](Reply::Mode mode, bool keep_open) {
    if (mode_given) Fail(line_number, "close, silent and keepopen exclude each other");
    mode_given = true;
    rule.reply.mode = mode;
    rule.reply.keep_open_after_answer = keep_open;
  };
  std::string_view body;
  for (;;) {
    std::string_view after = rest;
    const std::string_view word = NextWord(after);
    const auto equals = word.find('=');
    const std::string_view key = word.substr(0, equals);
    const std::string_view value =
        equals == std::string_view::npos ? std::string_view() : word.substr(equals + 1);
    const bool has_value = equals != std::string_view::npos;
    if (word == "--") {
      body = after.empty() ? after : after.substr(1);  // one blank separates "--" from the body
      break;
    } else if (word == "close" || word == "silent" || word == "keepopen") {
      set_mode(word == "close"    ? Reply::Mode::kCloseWithoutAnswer
               : word == "silent" ? Reply::Mode::kNeverAnswer
                                  : Reply::Mode::kAnswer,
               word == "keepopen");
    } else if (has_value && key == "delay") {
      long long ms = 0;
      if (!ParseNumber(value, ms) || ms < 0) Fail(line_number, "delay= needs milliseconds");
      rule.reply.delay = std::chrono::milliseconds(ms);
    } else if (word == "endless") {
      rule.reply.endless = true;
    } else if (has_value && key == "trickle") {
      long long ms = 0;
      if (!ParseNumber(value, ms) || ms <= 0) Fail(line_number, "trickle= needs milliseconds");
      rule.reply.trickle_interval = std::chrono::milliseconds(ms);
    } else if (has_value && key == "trickle-head") {
      long long ms = 0;
      if (!ParseNumber(value, ms) || ms <= 0) Fail(line_number, "trickle-head= needs milliseconds");
      rule.reply.head_trickle_interval = std::chrono::milliseconds(ms);
    } else if (has_value && key == "filler") {
      if (!ParseNumber(value, rule.reply.filler_bytes))
        Fail(line_number, "filler= needs a byte count");
    } else if (has_value && key == "port") {
      if (!ParseNumber(value, rule.port) || rule.port == 0)
        Fail(line_number, "port= needs 1 to 65535");
    } else if (has_value && key == "reason") {
      if (!Unescape(value, rule.reply.reason)) Fail(line_number, "bad escape in reason=");
    } else if (has_value && key == "header") {
      const auto colon = value.find(':');
      if (colon == 0 || colon == std::string_view::npos) {
        Fail(line_number, "header= needs Name:Value");
      }
      std::string text;
      if (!Unescape(value.substr(colon + 1), text)) Fail(line_number, "bad escape in header=");
      rule.reply.headers.emplace_back(std::string(value.substr(0, colon)), std::move(text));
    } else {
      body = Trim(rest);  // the body begins with this word
      break;
    }
    rest = after;
  }
  if (!Unescape(body, rule.reply.body)) Fail(line_number, "bad escape in the body");
  return rule;
}

}  // namespace

std::vector<ScriptRule> ParseScript(std::string_view text) {
  std::vector<ScriptRule> rules;
  int line_number = 0;
  while (!text.empty()) {
    ++line_number;
    const auto newline = text.find('\n');
    std::string_view line = text.substr(0, newline);
    text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
    line = Trim(line);
    if (line.empty() || line.front() == '#') continue;
    rules.push_back(ParseRule(line_number, line));
  }
  return rules;
}

void ApplyScript(Server& server, const std::vector<ScriptRule>& rules) {
  std::map<std::pair<std::uint16_t, std::string>, std::vector<Reply>> queues;
  for (const ScriptRule& rule : rules) queues[{rule.port, rule.path}].push_back(rule.reply);
  for (auto& [key, replies] : queues)
    server.QueueReplies(key.first, key.second, std::move(replies));
}

std::string RecordLine(const RecordedRequest& request) {
  std::string line = std::to_string(request.local_port);
  if (!request.problem.empty()) {
    line += "\t(malformed)\t";
    AppendEscaped(line, request.problem);
    line += '\t';
    AppendEscaped(line, request.raw);
    return line;
  }
  line += '\t';
  AppendEscaped(line, request.method);
  line += '\t';
  AppendEscaped(line, request.target);
  for (const auto& [name, value] : request.headers) {
    line += '\t';
    AppendEscaped(line, name);
    line += ": ";
    AppendEscaped(line, value);
  }
  return line;
}

bool SplitListenAddress(std::string_view text, std::string& address, std::uint16_t& port) {
  std::size_t colon = 0;
  if (!text.empty() && text.front() == '[') {
    const auto close = text.find(']');
    if (close == std::string_view::npos || close + 1 >= text.size() || text[close + 1] != ':') {
      return false;
    }
    address = std::string(text.substr(1, close - 1));
    colon = close + 1;
  } else {
    colon = text.rfind(':');
    if (colon == std::string_view::npos) return false;
    address = std::string(text.substr(0, colon));
    if (address.find(':') != std::string::npos) return false;  // IPv6 needs brackets
  }
  return !address.empty() && ParseNumber(text.substr(colon + 1), port);
}

}  // namespace standin
