#include "host/event_source_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zelquo::service {
namespace {

using namespace std::string_literals;
using Strings = std::vector<std::string>;

TEST(EventSourceList, SplitsRegistryMultiStrings) {
  EXPECT_EQ(SplitMultiString("Application\0WSH\0\0"s), (Strings{"Application", "WSH"}));
  // Values written without their final zero, or with none at all, still split.
  EXPECT_EQ(SplitMultiString("Application\0WSH\0"s), (Strings{"Application", "WSH"}));
  EXPECT_EQ(SplitMultiString("Application\0WSH"s), (Strings{"Application", "WSH"}));
  // An empty string ends the list, as it does for the system.
  EXPECT_EQ(SplitMultiString("A\0\0B\0\0"s), (Strings{"A"}));
  EXPECT_EQ(SplitMultiString(""s), Strings{});
  EXPECT_EQ(SplitMultiString("\0"s), Strings{});
}

TEST(EventSourceList, JoinsWithAZeroAfterEveryStringAndOneAtTheEnd) {
  EXPECT_EQ(JoinMultiString({"Application", "Zelquo IP Update Service"}),
            "Application\0Zelquo IP Update Service\0\0"s);
  EXPECT_EQ(JoinMultiString({}), "\0"s);
}

TEST(EventSourceList, AppendsTheSourceOnlyWhenAbsent) {
  Strings sources{"Application", "WSH"};
  EXPECT_TRUE(AppendSourceIfAbsent(sources, "Zelquo IP Update Service"));
  EXPECT_EQ(sources, (Strings{"Application", "WSH", "Zelquo IP Update Service"}));
  EXPECT_FALSE(AppendSourceIfAbsent(sources, "Zelquo IP Update Service"));
  EXPECT_EQ(sources.size(), 3u);
  // The comparison is case-sensitive.
  EXPECT_TRUE(AppendSourceIfAbsent(sources, "zelquo ip update service"));
  EXPECT_EQ(sources.back(), "zelquo ip update service");
}

TEST(EventSourceList, RemovesOnlyTheFirstMatchingEntry) {
  Strings sources{"A", "Zelquo IP Update Service", "B", "Zelquo IP Update Service"};
  EXPECT_TRUE(RemoveFirstSource(sources, "Zelquo IP Update Service"));
  EXPECT_EQ(sources, (Strings{"A", "B", "Zelquo IP Update Service"}));
  EXPECT_FALSE(RemoveFirstSource(sources, "zelquo ip update service"));
  EXPECT_EQ(sources.size(), 3u);
}

}  // namespace
}  // namespace zelquo::service
