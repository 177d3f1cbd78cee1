#include "logic/ignore_ip_page.h"

namespace zelquo::gui {

std::string IgnoreListText(const CSettingsFile& settings) {
  std::string text;
  const int count = settings.ReadCount(keys::kIgnoreList);
  for (int n = 1; n <= count; ++n) text += settings.ReadEntry(keys::kIgnoreList, n) + "\r\n";
  return text;
}

void AddIgnoredAddress(const PageContext& context, std::string_view entry) {
  if (!entry.empty()) context.settings.AppendEntry(keys::kIgnoreList, entry);
  context.RequestFreshUpdate();
}

void RemoveIgnoredAddress(const PageContext& context, std::string_view entry) {
  const int count = context.settings.ReadCount(keys::kIgnoreList);
  for (int n = 1; n <= count; ++n) {
    if (context.settings.ReadEntry(keys::kIgnoreList, n) == entry) {
      context.settings.RemoveRow(keys::kIgnoreList, n);
      break;
    }
  }
  context.RequestFreshUpdate();
}

}  // namespace zelquo::gui
