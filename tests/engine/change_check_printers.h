// Readable failure messages for hop records: status and dotted address instead of raw bytes.
#pragma once

#include <ostream>

#include "change_check/route_tracer.h"

namespace zelquo {

inline void PrintTo(const HopRecord& hop, std::ostream* out) {
  *out << "{status " << hop.status << ", " << FormatDottedQuad(hop.address) << "}";
}

}  // namespace zelquo
