#include "host/usage_box.h"

#include <cstdio>

namespace zelquo::service::platform {

void ShowUsage(const char* text) {
  std::fputs(text, stdout);
  std::fflush(stdout);
}

}  // namespace zelquo::service::platform
