// The MD5 message digest (RFC 1321). The provider's requests carry the digest of the clear-text
// password, never the password itself.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace zelquo {

[[nodiscard]] std::array<std::uint8_t, 16> Md5Digest(std::string_view bytes);

// The digest as 32 lower-case hexadecimal digits, first byte first.
[[nodiscard]] std::string Md5Hex(std::string_view bytes);

}  // namespace zelquo
