// On POSIX systems the service is registered by its systemd unit (zelquoiucsvc.service), not by
// the program itself: install and uninstall say so and fail.
#include <cstdio>

#include "host/service_host.h"

namespace zelquo::service {

bool CServiceHost::Install() {
  std::fputs("zelquoiucsvc: install the systemd unit zelquoiucsvc.service and enable it with systemctl.\n", stderr);
  return false;
}

bool CServiceHost::Uninstall() {
  std::fputs("zelquoiucsvc: disable the systemd unit zelquoiucsvc.service with systemctl and remove it.\n", stderr);
  return false;
}

}  // namespace zelquo::service
