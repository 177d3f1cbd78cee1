// What the settings window's pages give their portable logic: the settings file they edit, and
// the program's ways to show a message and to ask the update thread for a fresh update.
#pragma once

#include <functional>
#include <string>

#include "platform/profile_store.h"
#include "settings/settings.h"

namespace zelquo::gui {

// The longest text the settings store gives back. Edit fields whose text is stored as one value
// take no more, so that what a field shows is what is kept (and what a command runs).
inline constexpr int kMaxStoredTextLength = static_cast<int>(platform::kProfileTextBufferSize) - 1;

struct PageContext {
  explicit PageContext(const CSettingsFile& settings_file) : settings(settings_file) {}

  const CSettingsFile& settings;
  // Returns once the user has read the message.
  std::function<void(const std::string&)> show_message;
  std::function<void()> request_fresh_update;

  void ShowMessage(const std::string& text) const {
    if (show_message) show_message(text);
  }
  void RequestFreshUpdate() const {
    if (request_fresh_update) request_fresh_update();
  }
};

}  // namespace zelquo::gui
