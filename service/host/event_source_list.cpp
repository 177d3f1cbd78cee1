#include "host/event_source_list.h"

#include <algorithm>

namespace zelquo::service {

std::vector<std::string> SplitMultiString(std::string_view data) {
  std::vector<std::string> strings;
  while (!data.empty()) {
    const auto end = data.find('\0');
    const std::string_view item = data.substr(0, end);
    if (item.empty()) break;
    strings.emplace_back(item);
    if (end == std::string_view::npos) break;
    data.remove_prefix(end + 1);
  }
  return strings;
}

std::string JoinMultiString(const std::vector<std::string>& strings) {
  std::string data;
  for (const auto& item : strings) {
    data.append(item);
    data.push_back('\0');
  }
  data.push_back('\0');
  return data;
}

bool AppendSourceIfAbsent(std::vector<std::string>& sources, std::string_view source) {
  if (std::find(sources.begin(), sources.end(), source) != sources.end()) return false;
  sources.emplace_back(source);
  return true;
}

bool RemoveFirstSource(std::vector<std::string>& sources, std::string_view source) {
  const auto found = std::find(sources.begin(), sources.end(), source);
  if (found == sources.end()) return false;
  sources.erase(found);
  return true;
}

}  // namespace zelquo::service
