// The dial-up guard against the registry of the test's own Wine prefix: what it switches off,
// what it leaves alone, that it puts back exactly what it found, and where the cycle holds it.
// Each test puts the user's EnableAutodial value back as it found it.
#include "cycle/dialup_guard.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "crypto/scramble.h"
#include "cycle/update_cycle.h"
#include "settings/settings_path.h"
#include "standin_provider/standin_server.h"
#include "test_files.h"

namespace zelquo {
namespace {

using namespace std::chrono_literals;

struct RegistryValue {
  DWORD type;
  std::string bytes;
  friend bool operator==(const RegistryValue&, const RegistryValue&) = default;
};

std::ostream& operator<<(std::ostream& out, const RegistryValue& value) {
  out << "{type " << value.type << ",";
  for (const unsigned char byte : value.bytes) out << ' ' << static_cast<int>(byte);
  return out << "}";
}

RegistryValue Dword(DWORD number) { return {REG_DWORD, std::string(reinterpret_cast<const char*>(&number), 4)}; }

// The user's Internet Settings key, with EnableAutodial as it was before the test put back at
// the end.
class CInternetSettings {
 public:
  CInternetSettings() {
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings", 0,
                              nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key_, nullptr),
              ERROR_SUCCESS);
    saved_ = Read();
  }
  CInternetSettings(const CInternetSettings&) = delete;
  CInternetSettings& operator=(const CInternetSettings&) = delete;
  ~CInternetSettings() {
    if (saved_) {
      Write(*saved_);
    } else {
      RegDeleteValueA(key_, kValue);
    }
    RegCloseKey(key_);
  }

  [[nodiscard]] std::optional<RegistryValue> Read() const {
    DWORD type = 0;
    char data[64];
    DWORD size = sizeof data;
    if (RegQueryValueExA(key_, kValue, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS) {
      return std::nullopt;
    }
    return RegistryValue{type, std::string(data, size)};
  }
  void Write(const RegistryValue& value) const {
    ASSERT_EQ(RegSetValueExA(key_, kValue, 0, value.type, reinterpret_cast<const BYTE*>(value.bytes.data()),
                             static_cast<DWORD>(value.bytes.size())),
              ERROR_SUCCESS);
  }

 private:
  static constexpr char kValue[] = "EnableAutodial";
  HKEY key_ = nullptr;
  std::optional<RegistryValue> saved_;
};

TEST(DialUpGuard, SwitchesOffOnlyANumberAndPutsBackItsTypeAndBytes) {
  struct Case {
    const char* name;
    RegistryValue before;
    RegistryValue during;
  };
  const RegistryValue binary_on{REG_BINARY, std::string("\x01\x00\x00\x00", 4)};
  const RegistryValue binary_off{REG_BINARY, std::string(4, '\0')};
  const RegistryValue text_one{REG_SZ, std::string("1\0", 2)};
  const RegistryValue short_binary{REG_BINARY, std::string("\x01\x00", 2)};
  const Case cases[] = {
      {"DWORD 1", Dword(1), Dword(0)},
      {"DWORD 2 comes back as 2", Dword(2), Dword(0)},
      {"four binary bytes", binary_on, binary_off},
      {"DWORD 0 is left alone", Dword(0), Dword(0)},
      {"text \"1\" is no number", text_one, text_one},
      {"two binary bytes are no number", short_binary, short_binary},
  };
  CInternetSettings internet;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    internet.Write(c.before);
    {
      const CDialUpGuard guard;
      EXPECT_EQ(internet.Read(), c.during);
    }
    EXPECT_EQ(internet.Read(), c.before);
  }
}

class CNoWait final : public PollIntervalWait {
 public:
  void Wait(int /*seconds*/) override {}
};

// Automatic dial-up stays off across the tray program's busy hooks and the custom command.
TEST(DialUpGuard, IsHeldAcrossTheHooksAndTheCustomCommand) {
  CInternetSettings internet;
  internet.Write(Dword(1));
  testing::CScratchFolder folder;
  CSettingsFile settings(folder.File(kSettingsFileName));
  standin::Server server;
  settings.Write(keys::kServerPort, server.Listen());
  server.Start();
  server.SetReply("/nic/update", standin::Text("good 203.0.113.9"));
  settings.Write(keys::kPassword, ScrambleText("secret"));
  settings.AppendEntry(keys::kDomainNames, "home.example.org");
  settings.WriteInt("executecommand", 1);
  settings.WriteText("command", "notify");

  CNoWait wait;
  UpdateCycleContext context(settings, wait, ProtocolProgram::kTrayClient);
  context.api_host = "127.0.0.1";
  context.http_timeout = 5s;
  context.ip_check_attempts = {};
  context.detect = [] { return std::string("203.0.113.9"); };
  std::vector<std::string> seen;
  const auto note = [&](const std::string& when) { seen.push_back(when + (internet.Read() == Dword(0) ? " off" : " on")); };
  context.hooks.before_request = [&] { note("before_request"); };
  context.hooks.after_request = [&] { note("after_request"); };
  context.command.run = [&](const std::string& command) { note(command); };
  CUpdateLoopState state;
  RunUpdateCycle(context, state);
  note("after the cycle");
  EXPECT_EQ(seen, (std::vector<std::string>{"before_request off", "notify off", "after_request off",
                                            "after the cycle on"}));
}

// A program that ends while another thread holds a guard: the setting is back at once, and
// neither the late end of that guard nor a new one switches it off again.
TEST(DialUpGuard, AnExitPutsBackWhatALiveGuardSwitchedOff) {
  CInternetSettings internet;
  internet.Write(Dword(1));
  auto held = std::make_unique<CDialUpGuard>();
  EXPECT_EQ(internet.Read(), Dword(0));
  RestoreDialUpForExit();
  EXPECT_EQ(internet.Read(), Dword(1));
  { const CDialUpGuard later; EXPECT_EQ(internet.Read(), Dword(1)); }
  internet.Write(Dword(2));
  held.reset();
  EXPECT_EQ(internet.Read(), Dword(2)) << "the old guard must not write its value over a newer one";
}

}  // namespace
}  // namespace zelquo
