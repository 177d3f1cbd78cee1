#include "host/repeat_folding.h"

#include <algorithm>

#include "settings/settings.h"

namespace zelquo::service {

std::optional<ServiceLogEntry> CRepeatFolding::Admit(const ServiceLogEntry& entry) {
  const auto now = clock_();
  const auto same = std::find_if(written_.begin(), written_.end(),
                                 [&entry](const Written& written) { return written.entry == entry; });
  if (same == written_.end()) {
    if (written_.size() >= kRemembered) {
      written_.erase(std::min_element(written_.begin(), written_.end(),
                                      [](const Written& a, const Written& b) { return a.at < b.at; }));
    }
    written_.push_back(Written{entry, now});
    return entry;
  }
  if (now - same->at < kQuietTime) {
    ++same->held_back;
    return std::nullopt;
  }
  ServiceLogEntry out = entry;
  if (same->held_back > 0) {
    out.text += " (" + IntToText(same->held_back + 1) + " times since it was last logged)";
  }
  same->at = now;
  same->held_back = 0;
  return out;
}

}  // namespace zelquo::service
