#include "cli/console_framework.h"

#include <curl/curl.h>

namespace zelquo::cli {

bool StartConsoleFramework() { return curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; }

}  // namespace zelquo::cli
