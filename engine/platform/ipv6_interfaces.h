// This machine's IPv6 interface addresses with what the system says of each: interface state,
// temporary, tentative, failed or deprecated, preferred lifetime. POSIX asks the kernel over
// netlink (RTM_GETADDR and RTM_GETLINK); Windows calls GetAdaptersAddresses. Which address to
// publish is decided by ChooseIpv6Address (detection/ipv6_address.h).
#pragma once

#include <vector>

#include "detection/ipv6_address.h"

namespace zelquo::platform {

// Every IPv6 address of every interface; empty when the system cannot be asked.
[[nodiscard]] std::vector<Ipv6Candidate> LocalIpv6Candidates();

}  // namespace zelquo::platform
