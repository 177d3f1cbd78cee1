// The Domain Names page's logic on a real settings file: the host-name rule, the ask-again loop
// of Add, and the renumbering of Remove.
#include "logic/domain_names_page.h"

#include <gtest/gtest.h>

#include "settings/settings_path.h"
#include "test_files.h"

namespace zelquo::gui {
namespace {

TEST(HostnameRuleTest, LettersDigitsAndSingleSeparators) {
  const struct {
    const char* text;
    bool valid;
  } rows[] = {
      {"", true},          {"Home.Example.COM", true}, {"a-b.c0", true},    {"x", true},
      {"a--b.com", false}, {"-a.com", false},          {"a.com.", false},   {"a..com", false},
      {"a.-b.com", false}, {"a-.b.com", false},        {"a_b.com", false},  {"a b.com", false},
      {"caf\xc3\xa9.com", false}, {".", false},        {"-", false},
  };
  for (const auto& row : rows) EXPECT_EQ(IsValidHostname(row.text), row.valid) << row.text;
}

class DomainNamesPageTest : public ::testing::Test {
 protected:
  DomainNamesPageTest() {
    context_.show_message = [this](const std::string& text) { messages_.push_back(text); };
    context_.request_fresh_update = [this] { ++fresh_updates_; };
    settings_.Write(keys::kUpdatedIp, "203.0.113.9");
  }

  // An ask function that gives the answers in turn (nullopt: Cancel) and records what it showed.
  template <typename T>
  std::function<std::optional<T>(const T&)> Answers(std::vector<std::optional<T>> answers,
                                                    std::vector<T>& shown) {
    return [answers = std::move(answers), &shown, next = std::size_t{0}](const T& previous) mutable {
      shown.push_back(previous);
      return next < answers.size() ? answers[next++] : std::nullopt;
    };
  }

  void Store(const keys::ListKey& list, const std::vector<std::vector<std::string>>& rows) {
    for (const auto& row : rows) settings_.AppendRow(list, row);
  }

  testing::CScratchFolder folder_;
  CSettingsFile settings_{folder_.File(kSettingsFileName)};
  PageContext context_{settings_};
  std::vector<std::string> messages_;
  int fresh_updates_ = 0;
};

TEST_F(DomainNamesPageTest, AddAsksAgainUntilValidAndKeepsCapitals) {
  std::vector<std::string> shown;
  EXPECT_TRUE(AddDomainName(context_, Answers<std::string>({"bad--name", "Home.Example.com"}, shown)));
  EXPECT_EQ(shown, (std::vector<std::string>{"", "bad--name"}));
  EXPECT_EQ(messages_, (std::vector<std::string>{"bad--name is not a valid domain name. Please try again."}));
  EXPECT_EQ(DomainNameLines(settings_), (std::vector<std::string>{"Home.Example.com"}));
  EXPECT_EQ(settings_.ReadText("domain_name1", ""), "Home.Example.com");
  EXPECT_EQ(settings_.Read(keys::kUpdatedIp), "");
  EXPECT_EQ(fresh_updates_, 1);
}

TEST_F(DomainNamesPageTest, CancelWritesNothingButRequestsAFreshUpdate) {
  std::vector<std::string> shown;
  EXPECT_FALSE(AddDomainName(context_, Answers<std::string>({"-bad", std::nullopt}, shown)));
  std::vector<AliasFields> shown_aliases;
  EXPECT_FALSE(AddAlias(context_, Answers<AliasFields>({std::nullopt}, shown_aliases)));
  EXPECT_EQ(settings_.ReadCount(keys::kDomainNames), 0);
  EXPECT_EQ(settings_.ReadCount(keys::kAliases), 0);
  EXPECT_EQ(settings_.Read(keys::kUpdatedIp), "203.0.113.9");
  EXPECT_EQ(fresh_updates_, 2);
}

TEST_F(DomainNamesPageTest, AliasIsCheckedAndListedJoined) {
  std::vector<AliasFields> shown;
  EXPECT_TRUE(AddAlias(context_, Answers<AliasFields>({AliasFields{"www", "home.example."}, AliasFields{"www", "home.example.com"}}, shown)));
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[1].host_name, "home.example.");
  EXPECT_EQ(messages_, (std::vector<std::string>{"www.home.example. is not a valid hostname. Please try again."}));
  EXPECT_EQ(settings_.ReadRow(keys::kAliases, 1), (std::vector<std::string>{"www", "home.example.com"}));
  EXPECT_EQ(AliasLines(settings_), (std::vector<std::string>{"www.home.example.com"}));
  EXPECT_EQ(settings_.Read(keys::kUpdatedIp), "");
  EXPECT_EQ(fresh_updates_, 1);
}

TEST_F(DomainNamesPageTest, RemoveMovesLaterEntriesDownAndTakesOneEntryOnly) {
  Store(keys::kDomainNames, {{"a.example"}, {"b.example"}, {"c.example"}});
  RemoveDomainName(settings_, "A.example");  // exact text only
  RemoveDomainName(settings_, "a.example");
  EXPECT_EQ(DomainNameLines(settings_), (std::vector<std::string>{"b.example", "c.example"}));
  EXPECT_EQ(settings_.ReadText("domain_name3", ""), "c.example") << "the old last entry stays, unread";

  // With the same name twice, one Remove takes one of them and the others stay whole.
  Store(keys::kDomainNames, {{"b.example"}, {"d.example"}});
  RemoveDomainName(settings_, "b.example");
  EXPECT_EQ(DomainNameLines(settings_), (std::vector<std::string>{"c.example", "b.example", "d.example"}));
}

TEST_F(DomainNamesPageTest, RemoveAliasSplitsAtTheFirstDot) {
  Store(keys::kAliases, {{"www", "a.example"}, {"mail.eu", "b.example"}, {"ftp", "a.example"}});
  RemoveAlias(settings_, "nodot");
  RemoveAlias(settings_, "mail.eu.b.example");  // an alias holding a dot is still found
  RemoveAlias(settings_, "www.a.example");
  EXPECT_EQ(AliasLines(settings_), (std::vector<std::string>{"ftp.a.example"}));
  EXPECT_EQ(settings_.ReadRow(keys::kAliases, 1), (std::vector<std::string>{"ftp", "a.example"}));
}

TEST_F(DomainNamesPageTest, RemoveAllKeepsTheEntriesAndAddStartsAgainAtOne) {
  Store(keys::kDomainNames, {{"a.example"}, {"b.example"}});
  Store(keys::kAliases, {{"www", "a.example"}});
  RemoveAllDomainNames(settings_);
  RemoveAllAliases(settings_);
  EXPECT_TRUE(DomainNameLines(settings_).empty());
  EXPECT_TRUE(AliasLines(settings_).empty());
  EXPECT_EQ(settings_.ReadText("domain_name2", ""), "b.example");
  EXPECT_EQ(settings_.ReadText("alias_alias1", ""), "www");

  std::vector<std::string> shown;
  EXPECT_TRUE(AddDomainName(context_, Answers<std::string>({"c.example"}, shown)));
  EXPECT_EQ(settings_.ReadText("domain_name1", ""), "c.example");
  EXPECT_EQ(DomainNameLines(settings_), (std::vector<std::string>{"c.example"}));
}

}  // namespace
}  // namespace zelquo::gui
