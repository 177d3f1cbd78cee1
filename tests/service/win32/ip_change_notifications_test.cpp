// The IP helper source through its seam: Wine registers the notifications but never calls
// back, so the test plays the system's part.
#include "cycle/win32/ip_change_notifications.h"

#include <gtest/gtest.h>

#include <thread>

namespace zelquo::win32 {
namespace {

using namespace std::chrono_literals;

struct FakeSystem {
  PUNICAST_IPADDRESS_CHANGE_CALLBACK address_callback = nullptr;
  PIPFORWARD_CHANGE_CALLBACK route_callback = nullptr;
  void* context = nullptr;
  DWORD address_result = NO_ERROR, route_result = NO_ERROR;
  int cancelled = 0;
};
FakeSystem* g_fake = nullptr;

IpChangeNotifyCalls FakeCalls() {
  IpChangeNotifyCalls calls;
  calls.notify_address = [](ADDRESS_FAMILY, PUNICAST_IPADDRESS_CHANGE_CALLBACK callback, PVOID context, BOOLEAN,
                            HANDLE* handle) -> NETIO_STATUS {
    g_fake->address_callback = callback;
    g_fake->context = context;
    *handle = reinterpret_cast<HANDLE>(1);
    return g_fake->address_result;
  };
  calls.notify_route = [](ADDRESS_FAMILY, PIPFORWARD_CHANGE_CALLBACK callback, PVOID context, BOOLEAN,
                          HANDLE* handle) -> NETIO_STATUS {
    g_fake->route_callback = callback;
    g_fake->context = context;
    *handle = reinterpret_cast<HANDLE>(2);
    return g_fake->route_result;
  };
  calls.cancel = [](HANDLE) -> NETIO_STATUS {
    ++g_fake->cancelled;
    return NO_ERROR;
  };
  return calls;
}

TEST(IpChangeNotifications, EachNotificationIsNewsAndStopEndsTheWait) {
  FakeSystem fake;
  g_fake = &fake;
  {
    auto source = OpenIpHelperChangeSource(FakeCalls());
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(source->WaitForChange(0ms), NetworkNews::kQuiet);
    fake.address_callback(fake.context, nullptr, MibAddInstance);
    fake.address_callback(fake.context, nullptr, MibDeleteInstance);
    EXPECT_EQ(source->WaitForChange(0ms), NetworkNews::kChanged);
    EXPECT_EQ(source->WaitForChange(0ms), NetworkNews::kQuiet) << "one burst, one piece of news";
    std::thread system([&] { fake.route_callback(fake.context, nullptr, MibParameterNotification); });
    EXPECT_EQ(source->WaitForChange(5000ms), NetworkNews::kChanged);
    system.join();
    std::thread stopper([&] { source->Stop(); });
    EXPECT_EQ(source->WaitForChange(5000ms), NetworkNews::kEnded);
    stopper.join();
  }
  EXPECT_EQ(fake.cancelled, 2);

  fake = FakeSystem{};
  fake.address_result = ERROR_NOT_SUPPORTED;
  EXPECT_NE(OpenIpHelperChangeSource(FakeCalls()), nullptr) << "route news alone will do";
  EXPECT_EQ(fake.cancelled, 1);
  fake = FakeSystem{};
  fake.address_result = fake.route_result = ERROR_NOT_SUPPORTED;
  EXPECT_EQ(OpenIpHelperChangeSource(FakeCalls()), nullptr);
  EXPECT_EQ(fake.cancelled, 0);
  g_fake = nullptr;
}

}  // namespace
}  // namespace zelquo::win32
