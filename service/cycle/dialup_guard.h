// Keeps a request from dialling a modem connection: while a guard lives, Windows' automatic
// dial-up ("EnableAutodial" under the user's Internet Settings) is off, and it is switched back
// on afterwards if the guard switched it off. Other platforms have no such setting.
#pragma once

namespace zelquo {

class CDialUpGuard {
 public:
  CDialUpGuard();
  CDialUpGuard(const CDialUpGuard&) = delete;
  CDialUpGuard& operator=(const CDialUpGuard&) = delete;
  ~CDialUpGuard();

 private:
  bool switched_off_ = false;
};

}  // namespace zelquo
