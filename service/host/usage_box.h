// Shows the service program's usage text: a message box on Windows, standard output elsewhere.
#pragma once

namespace zelquo::service::platform {

void ShowUsage(const char* text);

}  // namespace zelquo::service::platform
