// Keeps a request from dialling a modem connection: while a guard lives, Windows' automatic
// dial-up ("EnableAutodial" under the user's Internet Settings) is off, and it is switched back
// on afterwards if the guard switched it off. Other platforms have no such setting.
#pragma once

#include <memory>

namespace zelquo {

class CDialUpGuard {
 public:
  CDialUpGuard();
  CDialUpGuard(const CDialUpGuard&) = delete;
  CDialUpGuard& operator=(const CDialUpGuard&) = delete;
  ~CDialUpGuard();

 private:
  // What the platform needs to put the setting back; empty when the guard changed nothing.
  struct Restore;
  std::unique_ptr<Restore> restore_;
};

}  // namespace zelquo
