#include "host/service_command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zelquo::service {
namespace {

struct CommandLineCase {
  std::vector<std::string> parameters;
  ServiceAction expected;
};

class ServiceCommandLineTest : public ::testing::TestWithParam<CommandLineCase> {};

TEST_P(ServiceCommandLineTest, ChoosesTheAction) {
  CServiceCommandLine command_line;
  ParseServiceParameters(GetParam().parameters, command_line);
  EXPECT_EQ(command_line.Action(), GetParam().expected);
}

using enum ServiceAction;

INSTANTIATE_TEST_SUITE_P(
    Switches, ServiceCommandLineTest,
    ::testing::Values(CommandLineCase{{}, kRunAsService},                        //
                      CommandLineCase{{"-install"}, kInstall},                   //
                      CommandLineCase{{"/install"}, kInstall},                   //
                      CommandLineCase{{"-INSTALL"}, kInstall},                   //
                      CommandLineCase{{"/InStAlL"}, kInstall},                   //
                      CommandLineCase{{"-remove"}, kUninstall},                  //
                      CommandLineCase{{"/Uninstall"}, kUninstall},               //
                      CommandLineCase{{"-debug"}, kDebug},                       //
                      CommandLineCase{{"-help"}, kHelp},                         //
                      CommandLineCase{{"/?"}, kHelp},                            //
                      CommandLineCase{{"-HELP"}, kHelp},                         //
                      // Not switches, or not switch words: nothing changes.
                      CommandLineCase{{"install"}, kRunAsService},               //
                      CommandLineCase{{"--install"}, kRunAsService},             //
                      CommandLineCase{{"-installs"}, kRunAsService},             //
                      CommandLineCase{{"-"}, kRunAsService},                     //
                      CommandLineCase{{""}, kRunAsService},                      //
                      CommandLineCase{{"-?x"}, kRunAsService},                   //
                      // The last recognised switch decides; others leave it be.
                      CommandLineCase{{"-install", "-help"}, kHelp},             //
                      CommandLineCase{{"-help", "-install"}, kInstall},          //
                      CommandLineCase{{"-install", "-bogus"}, kInstall},         //
                      CommandLineCase{{"-debug", "uninstall"}, kDebug},          //
                      CommandLineCase{{"-remove", "x", "/debug", "y"}, kDebug}));

// The is-last flag goes with the last parameter only.
TEST(ServiceCommandLine, MarksOnlyTheLastParameterAsLast) {
  struct CRecordingCommandLine : CServiceCommandLine {
    void ParseParam(std::string_view param, bool is_switch, bool is_last) override {
      seen.push_back(std::string(param) + (is_switch ? "|switch" : "") + (is_last ? "|last" : ""));
    }
    std::vector<std::string> seen;
  } command_line;
  ParseServiceParameters({"-a", "b", "/c"}, command_line);
  EXPECT_EQ(command_line.seen, (std::vector<std::string>{"a|switch", "b", "c|switch|last"}));
}

}  // namespace
}  // namespace zelquo::service
