// Runs Save's account check on a thread of its own, so that the settings window keeps painting
// and answering while the provider is asked: each check may take the HTTP time-outs, minutes
// without a network. The steps and their order are the portable SaveAccount's; this only moves
// them off the window's thread. Each message the check shows is handed to the window's thread,
// which shows it modally while the check waits; when the check is done the window is told.
#pragma once

#include <windows.h>

#include <memory>

#include "logic/account_check.h"

namespace zelquo::gui {

class CAccountCheckWorker {
 public:
  // Sent to the window for each message of the check; lparam is the const std::string* text.
  // The window shows it and returns once the user has read it.
  static constexpr UINT kShowMessage = WM_APP + 20;
  // Posted to the window when the check has ended; Finish then gives the fields.
  static constexpr UINT kDoneMessage = WM_APP + 21;

  CAccountCheckWorker() = default;
  CAccountCheckWorker(const CAccountCheckWorker&) = delete;
  CAccountCheckWorker& operator=(const CAccountCheckWorker&) = delete;
  // A check still running when the window goes is left to end with the process; it no longer
  // reaches the window.
  ~CAccountCheckWorker();

  // Starts the check of `fields` for `window`; false while one is running.
  bool Start(HWND window, AccountFields fields);
  [[nodiscard]] bool Running() const { return job_ != nullptr; }
  // After kDoneMessage: the fields as the check left them (a refused value emptied).
  [[nodiscard]] AccountFields Finish();

 private:
  struct Job;
  std::shared_ptr<Job> job_;  // shared with the check's thread
};

}  // namespace zelquo::gui
