// The compiled message table (linked into this test program as into the service) says what the
// portable table says, with CR LF after every text, in US English.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "host/service_identity.h"
#include "messages/service_messages.h"

namespace zelquo::service {
namespace {

std::string FormatFromTable(std::uint32_t id, const char* insertion) {
  char buffer[512];
  const DWORD_PTR arguments[] = {reinterpret_cast<DWORD_PTR>(insertion)};
  const DWORD length =
      FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY, nullptr, id,
                     MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), buffer, sizeof buffer,
                     reinterpret_cast<va_list*>(const_cast<DWORD_PTR*>(arguments)));
  return std::string(buffer, length);
}

TEST(MessageTable, HoldsEveryMessageWithCrLf) {
  for (const auto& message : ServiceMessageTable()) {
    SCOPED_TRACE(message.id);
    EXPECT_EQ(FormatFromTable(message.id, kDisplayName), *FormatServiceMessage(message.id, kDisplayName) + "\r\n");
  }
}

TEST(MessageTable, HasNoOtherMessagesInTheGap) {
  for (const std::uint32_t id : {0x40000007u, 0x40000008u, 0x40000009u, 0x4000000Cu}) {
    EXPECT_EQ(FormatFromTable(id, "x"), "") << std::hex << id;
  }
}

TEST(MessageTable, IsTheProgramsOnlyResourceKind) {
  // One language of one message table: 1033.
  HRSRC found = FindResourceExA(nullptr, reinterpret_cast<LPCSTR>(RT_MESSAGETABLE), MAKEINTRESOURCEA(1),
                                MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
  EXPECT_NE(found, nullptr);
}

}  // namespace
}  // namespace zelquo::service
