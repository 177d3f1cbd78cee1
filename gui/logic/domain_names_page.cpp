#include "logic/domain_names_page.h"

#include <algorithm>

namespace zelquo::gui {

namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsSeparator(char c) { return c == '.' || c == '-'; }

std::string JoinAlias(std::string_view alias, std::string_view host_name) {
  std::string line(alias);
  line += '.';
  line += host_name;
  return line;
}

// The number of the first row that `matches`, or 0.
int FindRow(const CSettingsFile& settings, const keys::ListKey& list,
            const std::function<bool(const std::vector<std::string>&)>& matches) {
  const int count = settings.ReadCount(list);
  for (int n = 1; n <= count; ++n) {
    if (matches(settings.ReadRow(list, n))) return n;
  }
  return 0;
}

void EmptyUpdatedIp(const PageContext& context) { context.settings.Write(keys::kUpdatedIp, ""); }

}  // namespace

bool IsValidHostname(std::string_view text) {
  if (text.empty()) return true;
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(), LowerAscii);
  const bool allowed = std::all_of(lower.begin(), lower.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || IsSeparator(c);
  });
  if (!allowed || IsSeparator(lower.front()) || IsSeparator(lower.back())) return false;
  for (std::size_t i = 1; i < lower.size(); ++i) {
    if (IsSeparator(lower[i - 1]) && IsSeparator(lower[i])) return false;
  }
  return true;
}

std::vector<std::string> DomainNameLines(const CSettingsFile& settings) {
  std::vector<std::string> lines;
  const int count = settings.ReadCount(keys::kDomainNames);
  for (int n = 1; n <= count; ++n) lines.push_back(settings.ReadEntry(keys::kDomainNames, n));
  return lines;
}

std::vector<std::string> AliasLines(const CSettingsFile& settings) {
  std::vector<std::string> lines;
  const int count = settings.ReadCount(keys::kAliases);
  for (int n = 1; n <= count; ++n) {
    const std::vector<std::string> row = settings.ReadRow(keys::kAliases, n);
    lines.push_back(JoinAlias(row[keys::kAliasLabel], row[keys::kAliasHostName]));
  }
  return lines;
}

bool AddDomainName(const PageContext& context, const AskDomainName& ask) {
  std::string previous;
  while (const std::optional<std::string> name = ask(previous)) {
    if (!IsValidHostname(*name)) {
      context.ShowMessage(*name + " is not a valid domain name. Please try again.");
      previous = *name;
      continue;
    }
    context.settings.AppendEntry(keys::kDomainNames, *name);
    EmptyUpdatedIp(context);
    context.RequestFreshUpdate();
    return true;
  }
  context.RequestFreshUpdate();
  return false;
}

bool AddAlias(const PageContext& context, const AskAlias& ask) {
  AliasFields previous;
  while (const std::optional<AliasFields> fields = ask(previous)) {
    const std::string joined = JoinAlias(fields->alias, fields->host_name);
    if (!IsValidHostname(joined)) {
      context.ShowMessage(joined + " is not a valid hostname. Please try again.");
      previous = *fields;
      continue;
    }
    std::vector<std::string> row(keys::kAliases.entries.size());
    row[keys::kAliasLabel] = fields->alias;
    row[keys::kAliasHostName] = fields->host_name;
    context.settings.AppendRow(keys::kAliases, row);
    EmptyUpdatedIp(context);
    context.RequestFreshUpdate();
    return true;
  }
  context.RequestFreshUpdate();
  return false;
}

void RemoveDomainName(const CSettingsFile& settings, std::string_view line) {
  const int n = FindRow(settings, keys::kDomainNames, [line](const auto& row) { return row[0] == line; });
  if (n > 0) settings.RemoveRow(keys::kDomainNames, n);
}

void RemoveAlias(const CSettingsFile& settings, std::string_view line) {
  const std::size_t dot = line.find('.');
  const std::string_view alias = dot == std::string_view::npos ? std::string_view() : line.substr(0, dot);
  const std::string_view host_name = dot == std::string_view::npos ? std::string_view() : line.substr(dot + 1);
  int n = FindRow(settings, keys::kAliases, [&](const auto& row) {
    return row[keys::kAliasLabel] == alias && row[keys::kAliasHostName] == host_name;
  });
  if (n == 0 && dot != std::string_view::npos) {
    n = FindRow(settings, keys::kAliases, [line](const auto& row) {
      return JoinAlias(row[keys::kAliasLabel], row[keys::kAliasHostName]) == line;
    });
  }
  if (n > 0) settings.RemoveRow(keys::kAliases, n);
}

void RemoveAllDomainNames(const CSettingsFile& settings) { settings.WriteInt(keys::kDomainNames.count, 0); }

void RemoveAllAliases(const CSettingsFile& settings) { settings.WriteInt(keys::kAliases.count, 0); }

}  // namespace zelquo::gui
