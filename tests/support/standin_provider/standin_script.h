// The text formats of the standin-provider program: the reply script it reads and the request
// record it writes. standin_main.cpp describes both for the people who write the scripts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "standin_server.h"

namespace standin {

struct ScriptRule {
  int line = 0;            // in the script, from 1
  std::uint16_t port = 0;  // 0: any port
  std::string path;
  Reply reply;
};

// Throws std::runtime_error("script line N: ...") at the first line it cannot read.
[[nodiscard]] std::vector<ScriptRule> ParseScript(std::string_view text);

// Gives each port and path the replies of its rules, in script order.
void ApplyScript(Server& server, const std::vector<ScriptRule>& rules);

// One line of the record file, without the line feed.
[[nodiscard]] std::string RecordLine(const RecordedRequest& request);

// "127.0.0.1:8245" or "[::1]:8245"; false when it is neither.
[[nodiscard]] bool SplitListenAddress(std::string_view text, std::string& address,
                                      std::uint16_t& port);

}  // namespace standin
