// Which security descriptors let others than the administrators change the settings file,
// on descriptors built from SDDL strings.
#include "host/win32/security_descriptor_trust.h"

#include <windows.h>
#include <sddl.h>
#include <aclapi.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "host/command_file_trust.h"
#include "host/win32/settings_access.h"
#include "test_files.h"

namespace zelquo::service {
namespace {

constexpr char kOwnUser[] = "S-1-5-21-1-2-3-1001";
constexpr char kTrustedInstaller[] = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

struct LocalFreer {
  void operator()(void* memory) const { LocalFree(memory); }
};

std::optional<std::string> ProblemOf(const std::string& sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  EXPECT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1, &descriptor,
                                                                    nullptr))
      << sddl;
  std::unique_ptr<void, LocalFreer> descriptor_owner(descriptor);
  PSID own_user = nullptr;
  EXPECT_TRUE(ConvertStringSidToSidA(kOwnUser, &own_user));
  std::unique_ptr<void, LocalFreer> sid_owner(own_user);
  return win32::SecurityDescriptorProblem(descriptor, own_user);
}

struct DescriptorCase {
  std::string sddl;
  std::optional<std::string> problem;
};

class SecurityDescriptorTrustTest : public ::testing::TestWithParam<DescriptorCase> {};

TEST_P(SecurityDescriptorTrustTest, JudgesOwnerAndAllowEntries) {
  EXPECT_EQ(ProblemOf(GetParam().sddl), GetParam().problem) << GetParam().sddl;
}

const std::string kInstalled = "O:BAG:SYD:(A;;FA;;;SY)(A;;FA;;;BA)(A;;0x1200a9;;;BU)";
// The lists the service's install step may give the settings file, owned by the administrators.
const std::string kShared = std::string("O:BA") + win32::kSharedSettingsAccess;
const std::string kLocked = std::string("O:BA") + win32::kLockedSettingsAccess;

INSTANTIATE_TEST_SUITE_P(
    Descriptors, SecurityDescriptorTrustTest,
    ::testing::Values(
        // As installed under Program Files: users may read and run, nothing more.
        DescriptorCase{kInstalled, std::nullopt},
        DescriptorCase{kLocked, std::nullopt},
        DescriptorCase{kShared, "S-1-5-32-545 may change it"},
        DescriptorCase{"O:SYD:(A;;FA;;;SY)(A;;FR;;;WD)", std::nullopt},
        DescriptorCase{"O:" + std::string(kTrustedInstaller) + "D:(A;;FA;;;" + kTrustedInstaller + ")(A;;FA;;;BA)",
                       std::nullopt},
        // The service's own account, as owner and with full access.
        DescriptorCase{"O:" + std::string(kOwnUser) + "D:(A;;FA;;;" + kOwnUser + ")", std::nullopt},
        // Entries that only children inherit, CREATOR OWNER's included, do not apply here.
        DescriptorCase{"O:BAD:(A;OICIIO;FA;;;BU)(A;OICIIO;GA;;;CO)(A;;FA;;;SY)", std::nullopt},
        // Deny entries take nothing away from the verdict; an empty list lets nobody in.
        DescriptorCase{"O:BAD:(D;;FA;;;BU)(A;;FA;;;SY)", std::nullopt},
        DescriptorCase{"O:BAD:", std::nullopt},
        // A folder outside Program Files: users may change what is in it.
        DescriptorCase{kInstalled + "(A;;0x1301bf;;;BU)", "S-1-5-32-545 may change it"},
        DescriptorCase{"O:BAD:(A;;0x4;;;AU)", "S-1-5-11 may change it"},             // append / add folder
        DescriptorCase{"O:BAD:(A;;0x2;;;BU)", "S-1-5-32-545 may change it"},         // write / add file
        DescriptorCase{"O:BAD:(A;;0x40;;;BU)", "S-1-5-32-545 may change it"},        // delete child
        DescriptorCase{"O:BAD:(A;;SD;;;BU)", "S-1-5-32-545 may change it"},          // delete
        DescriptorCase{"O:BAD:(A;;WD;;;WD)", "S-1-1-0 may change it"},               // permissions
        DescriptorCase{"O:BAD:(A;;WO;;;WD)", "S-1-1-0 may change it"},               // owner
        DescriptorCase{"O:BAD:(A;;GW;;;BU)", "S-1-5-32-545 may change it"},          //
        DescriptorCase{"O:BAD:(A;;GA;;;BU)", "S-1-5-32-545 may change it"},          //
        DescriptorCase{"O:BAD:(A;;FW;;;S-1-5-21-1-2-3-1002)", "S-1-5-21-1-2-3-1002 may change it"},
        // Harmless rights for anybody: attributes, extended attributes, reading.
        DescriptorCase{"O:BAD:(A;;0x1201a9;;;BU)", std::nullopt},
        // Ownership alone lets its holder rewrite the permissions.
        DescriptorCase{"O:BUD:(A;;FA;;;SY)", "it is owned by S-1-5-32-545"}));

// Built by hand: Wine's SDDL parser turns "D:NO_ACCESS_CONTROL" into an empty list, not a null one.
TEST(SecurityDescriptorTrust, ANullAccessListLetsEverybodyChangeIt) {
  SECURITY_DESCRIPTOR descriptor;
  ASSERT_TRUE(InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION));
  ASSERT_TRUE(SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE));
  EXPECT_EQ(win32::SecurityDescriptorProblem(&descriptor, nullptr), "it has no access list, so everybody may change it");
}

// Gives everybody the right to change path (a file or a folder).
void LetEverybodyChange(const std::string& path) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA("D:(A;;FA;;;SY)(A;;FA;;;BA)(A;;0x1301bf;;;WD)",
                                                                    SDDL_REVISION_1, &descriptor, nullptr));
  std::unique_ptr<void, LocalFreer> descriptor_owner(descriptor);
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  PACL dacl = nullptr;
  ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted));
  ASSERT_EQ(SetNamedSecurityInfoA(const_cast<char*>(path.c_str()), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                  nullptr, dacl, nullptr),
            static_cast<DWORD>(ERROR_SUCCESS));
}

std::string Refusal(const std::string& path) {
  return "\"" + path + "\" may be changed by users who are not administrators (S-1-1-0 may change it).";
}

// The system's own descriptors of a file in a scratch folder: as created, the file belongs to
// the account the test runs as, so nothing stands in the way; once the file's access list lets
// everybody write, the command is refused. (Wine keeps the entries for the owner and for everybody in
// the file's mode bits and drops entries for other groups, such as Users.)
TEST(CommandFileRefusalOnFiles, FollowsTheFilesAccessList) {
  testing::CScratchFolder scratch;
  const std::string file = scratch.File("ZelquoIUC.ini");
  testing::WriteBytes(file, "[Zelquo IP Update Client]\r\n");
  EXPECT_EQ(CommandFileRefusal(file), std::nullopt);

  LetEverybodyChange(file);
  EXPECT_EQ(CommandFileRefusal(file), Refusal(file));
}

// Whoever may change a folder further up may rename the file's folder and put another in its place.
TEST(CommandFileRefusalOnFiles, LooksAtEveryFolderAboveTheFile) {
  testing::CScratchFolder scratch;
  const std::filesystem::path folder = scratch.Path() / "settings";
  std::filesystem::create_directory(folder);
  const std::string file = (folder / "ZelquoIUC.ini").string();
  testing::WriteBytes(file, "[Zelquo IP Update Client]\r\n");
  ASSERT_EQ(CommandFileRefusal(file), std::nullopt);

  LetEverybodyChange(scratch.Path().string());
  EXPECT_EQ(CommandFileRefusal(file), Refusal(scratch.Path().string()));
}

// The install step creates the file with its list, and leaves a file that is already there alone.
TEST(CreateSettingsFile, CreatesOnlyAMissingFile) {
  testing::CScratchFolder scratch;
  const std::string file = scratch.File("ZelquoIUC.ini");
  ASSERT_TRUE(win32::CreateSettingsFile(file));
  EXPECT_EQ(std::filesystem::file_size(file), 0u);

  testing::WriteBytes(file, "[Zelquo IP Update Client]\r\n");
  EXPECT_FALSE(win32::CreateSettingsFile(file, win32::kLockedSettingsAccess));
  EXPECT_EQ(std::filesystem::file_size(file), 27u);
  EXPECT_FALSE(win32::CreateSettingsFile(scratch.File("missing\\ZelquoIUC.ini")));
}

// Everybody may write the scratch file: the shared list, applied to it, takes that right away
// again (the only group entries Wine keeps are the owner's and everybody's).
TEST(CreateSettingsFile, ReplacesTheFoldersInheritedList) {
  testing::CScratchFolder scratch;
  LetEverybodyChange(scratch.Path().string());
  const std::string file = scratch.File("ZelquoIUC.ini");
  testing::WriteBytes(file, "");
  LetEverybodyChange(file);
  ASSERT_NE(CommandFileRefusal(file), std::nullopt);
  std::filesystem::remove(file);

  ASSERT_TRUE(win32::CreateSettingsFile(file));
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_EQ(GetNamedSecurityInfoA(file.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr,
                                  nullptr, &descriptor),
            static_cast<DWORD>(ERROR_SUCCESS));
  std::unique_ptr<void, LocalFreer> descriptor_owner(descriptor);
  char* sddl = nullptr;
  ASSERT_TRUE(ConvertSecurityDescriptorToStringSecurityDescriptorA(descriptor, SDDL_REVISION_1,
                                                                  DACL_SECURITY_INFORMATION, &sddl, nullptr));
  std::unique_ptr<char, LocalFreer> sddl_owner(sddl);
  EXPECT_EQ(std::string(sddl).find(";;;WD)"), std::string::npos) << sddl;
}

}  // namespace
}  // namespace zelquo::service
