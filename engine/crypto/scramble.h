// A reversible byte shift that keeps the stored password (and the client header line) out of
// plain sight. It is an obfuscation, not encryption: the shift travels with the text.
#pragma once

#include <string>
#include <string_view>

namespace zelquo {

// Every byte lowered by a shift s of 1 to 8 drawn at random, followed by the shift byte 0x44 + s
// ("E" to "L"). The generator is seeded with the current time on every call.
[[nodiscard]] std::string ScrambleText(std::string_view clear);

// The same with a chosen shift (1 to 8), for callers that must produce a known form.
[[nodiscard]] std::string ScrambleTextWithShift(std::string_view clear, int shift);

// The last byte, read as a signed 8-bit number minus 0x44, is the shift; every other byte is
// raised by it. Fewer than two bytes give empty text.
[[nodiscard]] std::string UnscrambleText(std::string_view scrambled);

}  // namespace zelquo
