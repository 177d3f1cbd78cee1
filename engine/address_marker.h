// The marker that travels in place of an address when network-card detection fails. Detection
// returns it, and the request builders and the programs test for it; it lives below all of them
// so that none has to include another for it.
#pragma once

namespace zelquo {

inline constexpr char kDetectionAbort[] = "abort";

}  // namespace zelquo
