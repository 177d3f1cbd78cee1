// Keeps a request from dialling a modem connection: while a guard lives, Windows' automatic
// dial-up ("EnableAutodial" under the user's Internet Settings) is off, and it is switched back
// on afterwards if the guard switched it off. Other platforms have no such setting.
#pragma once

#include <memory>

namespace zelquo {

// Puts back at once what every live guard switched off, and keeps guards made from now on from
// switching anything. For a program that is ending while another thread holds a guard (a
// request under way, the pause after "911", a notice or a custom command inside the exchange):
// that thread ends with the process and its guard would never restore the setting.
void RestoreDialUpForExit();

class CDialUpGuard {
 public:
  CDialUpGuard();
  CDialUpGuard(const CDialUpGuard&) = delete;
  CDialUpGuard& operator=(const CDialUpGuard&) = delete;
  ~CDialUpGuard();

  // What the platform needs to put the setting back; defined (and only used) by the platform's
  // file.
  struct Restore;

 private:
  std::unique_ptr<Restore> restore_;  // empty when the guard changed nothing
};

}  // namespace zelquo
