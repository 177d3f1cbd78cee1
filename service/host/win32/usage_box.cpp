#include "host/usage_box.h"

#include <windows.h>

#include <string>

#include "platform/module_path.h"

namespace zelquo::service::platform {

// The caption is the program's name, as an application framework gives its message boxes.
void ShowUsage(const char* text) {
  const std::string caption = zelquo::platform::GetProgramAppName();
  MessageBoxA(nullptr, text, caption.empty() ? nullptr : caption.c_str(), MB_OK);
}

}  // namespace zelquo::service::platform
