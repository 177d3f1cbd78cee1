#include "main_frm.h"

namespace zelquo::gui {

bool CMainFrm::LoadFrame(HINSTANCE instance, int id) {
  return Create(instance, kFrameWindowClass, id, WS_OVERLAPPEDWINDOW);
}

}  // namespace zelquo::gui
