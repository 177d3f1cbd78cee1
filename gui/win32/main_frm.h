// The program's hidden frame window: the owner of the tray menu and the target of its commands,
// which it leaves to the application object. Closing it ends the program.
#pragma once

#include "framework/frame_window.h"

namespace zelquo::gui {

inline constexpr char kFrameWindowClass[] = "ZelquoIucFrame";

class CMainFrm final : public win::CFrameWnd {
 public:
  // Creates the window from frame resource `id` (its title string); it is never shown.
  [[nodiscard]] bool LoadFrame(HINSTANCE instance, int id);
};

}  // namespace zelquo::gui
