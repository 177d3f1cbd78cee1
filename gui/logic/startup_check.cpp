#include "startup_check.h"

#include "crypto/scramble.h"

namespace zelquo::gui {

bool NeedsSettingsPrompt(const CSettingsFile& settings) {
  if (!UnscrambleText(settings.Read(keys::kPassword)).empty()) return false;
  const bool no_alias = settings.ReadEntry(keys::kAliases, 1, 0).empty() && settings.ReadEntry(keys::kAliases, 1, 1).empty();
  return settings.Read(keys::kUsername).empty() || settings.ReadEntry(keys::kDomainNames, 1).empty() || no_alias;
}

}  // namespace zelquo::gui
