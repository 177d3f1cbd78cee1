// The fixed texts the update cycles show around a request: the note before each request, and
// the failures that stop a request before it is sent. The texts of the provider's answers are in
// answer_table.cpp.
#pragma once

#include <string>

#include "protocol/update_request.h"

namespace zelquo {

// When network-card detection returns "abort".
inline constexpr char kNicDetectionErrorText[] =
    "Error: IP based on NIC card cannot be detected! Ensure that port 8245 outbound is open if firewall "
    "is active. Please choose a different Connection Type setting so that IP address can be detected "
    "properly.";

// When the stored password unscrambles to empty text: nothing is sent.
inline constexpr char kInvalidPasswordText[] = "IP address update aborted due to invalid password.";

// The note before an account, host or alias request ("Updating IP address for ..."). The tray
// client's activity log wants its notes to end ".\r\n"; the others end ".". A single-host request
// has no note (empty text).
[[nodiscard]] std::string ProgressNote(const UpdateRequest& request, ProtocolProgram program);

}  // namespace zelquo
