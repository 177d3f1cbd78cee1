#include "crypto/md5.h"

#include <gtest/gtest.h>

namespace zelquo {
namespace {

TEST(Md5Test, Rfc1321TestSuite) {
  const struct {
    const char* message;
    const char* digest;
  } kSuite[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const auto& row : kSuite) EXPECT_EQ(Md5Hex(row.message), row.digest) << '"' << row.message << '"';
}

TEST(Md5Test, PaddingBoundariesAndBytesAboveAscii) {
  // 55, 56 and 64 bytes put the length field in the same block, the next block, and a full
  // block of padding; high bytes must not be sign-extended.
  EXPECT_EQ(Md5Hex(std::string(55, 'a')), "ef1772b6dff9a122358552954ad0df65");
  EXPECT_EQ(Md5Hex(std::string(56, 'a')), "3b0c8ac703f828b04c6c197006d17218");
  EXPECT_EQ(Md5Hex(std::string(64, 'a')), "014842d480b571495a4a0363793f7367");
  EXPECT_EQ(Md5Hex("\xff\xfe\x80"), "45a6eeda47eb0845d0095f2f0576e2f7");
}

TEST(Md5Test, LetterCaseChangesTheDigest) { EXPECT_NE(Md5Hex("Password"), Md5Hex("password")); }

}  // namespace
}  // namespace zelquo
