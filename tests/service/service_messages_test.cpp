#include "messages/service_messages.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "host/service_identity.h"

namespace zelquo::service {
namespace {

TEST(ServiceMessages, FillEveryInsertionMarker) {
  EXPECT_EQ(FormatServiceMessage(message_ids::kStarted, kDisplayName),
            "\"Zelquo IP Update Service\" started successfully.");
  EXPECT_EQ(FormatServiceMessage(message_ids::kBeepIntervalSet, "2000"),
            "Beep Interval has been set to 2000 milliseconds.");
  EXPECT_EQ(FormatServiceMessage(message_ids::kServiceOpenFailed, "1060"), "Failed to open the service, ErrorCode:1060.");
  // The insertion is taken as it is, markers and all.
  EXPECT_EQ(FormatServiceMessage(message_ids::kStopped, "%1"), "\"%1\" stopped successfully.");
  EXPECT_EQ(FormatServiceMessage(0x40000007, "x"), std::nullopt) << "ids 7 to 9 are error ids only";
}

TEST(ServiceMessages, SeverityBitsMatchTheEventType) {
  std::set<std::uint32_t> ids;
  for (const auto& message : ServiceMessageTable()) {
    EXPECT_TRUE(ids.insert(message.id).second) << std::hex << message.id;
    const auto severity = message.id >> 30;
    const auto expected = message.type == EventType::kError ? 3u : message.type == EventType::kWarning ? 2u : 1u;
    EXPECT_EQ(severity, expected) << std::hex << message.id;
  }
  EXPECT_EQ(ids.size(), 19u);
}

}  // namespace
}  // namespace zelquo::service
