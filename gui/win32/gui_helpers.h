// What the update thread and the windows use to report to the user: the activity log, the status
// line, the tray tip and icon, and the wake flag of the update thread's wait. They reach the
// application object through the current-application accessor and do nothing before it exists.
// Safe from any thread.
#pragma once

#include <string_view>

namespace zelquo::gui {

void LogActivity(std::string_view text);
void SetStatusText(std::string_view text);
void SetTrayTip(std::string_view text);
void ShowBusyIcon();
void ShowIdleIcon();
// Makes the next change check update, and ends the update thread's current wait.
void RequestFreshUpdate();
void WaitForWakeUp(int seconds);

}  // namespace zelquo::gui
