#include "crypto/scramble.h"

#include <cstdlib>
#include <ctime>

namespace zelquo {

namespace {

constexpr int kShiftBase = 0x44;

}  // namespace

std::string ScrambleTextWithShift(std::string_view clear, int shift) {
  std::string scrambled;
  scrambled.reserve(clear.size() + 1);
  for (const char c : clear) {
    scrambled.push_back(static_cast<char>(static_cast<unsigned char>(c) - shift));
  }
  scrambled.push_back(static_cast<char>(kShiftBase + shift));
  return scrambled;
}

std::string ScrambleText(std::string_view clear) {
  std::srand(static_cast<unsigned>(std::time(nullptr)));
  int shift = 0;
  while (shift == 0) shift = std::rand() % 9;
  return ScrambleTextWithShift(clear, shift);
}

std::string UnscrambleText(std::string_view scrambled) {
  if (scrambled.size() < 2) return {};
  const int shift = static_cast<signed char>(scrambled.back()) - kShiftBase;
  std::string clear;
  clear.reserve(scrambled.size() - 1);
  for (const char c : scrambled.substr(0, scrambled.size() - 1)) {
    clear.push_back(static_cast<char>(static_cast<unsigned char>(c) + shift));
  }
  return clear;
}

}  // namespace zelquo
