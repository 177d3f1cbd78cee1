// Where the engine's progress messages go. The tray program shows them (activity log, status
// line, tray tip); the service and the console utility pass sinks that discard them.
#pragma once

#include <functional>
#include <string>

namespace zelquo {

using MessageSink = std::function<void(const std::string&)>;

struct MessageSinks {
  MessageSink activity;  // one line per event
  MessageSink status;    // a short state line
  MessageSink tip;       // the tray tip text

  void Activity(const std::string& text) const {
    if (activity) activity(text);
  }
  void Status(const std::string& text) const {
    if (status) status(text);
  }
  void Tip(const std::string& text) const {
    if (tip) tip(text);
  }
};

}  // namespace zelquo
