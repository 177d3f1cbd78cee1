#include "account_check_worker.h"

#include <atomic>
#include <mutex>
#include <thread>

#include "page_helpers.h"
#include "settings/settings.h"

namespace zelquo::gui {

struct CAccountCheckWorker::Job {
  std::mutex lock;
  HWND window = nullptr;  // the settings window while it wants the check's news; not owned
  AccountFields fields;

  // The window to talk to, or null once it went. A message sent to a window destroyed meanwhile
  // fails at once.
  HWND Window() {
    const std::lock_guard guard(lock);
    return window;
  }
};

CAccountCheckWorker::~CAccountCheckWorker() {
  if (!job_) return;
  const std::lock_guard guard(job_->lock);
  job_->window = nullptr;
}

bool CAccountCheckWorker::Start(HWND window, AccountFields fields) {
  if (job_) return false;
  job_ = std::make_shared<Job>();
  job_->window = window;
  job_->fields = std::move(fields);
  std::thread([job = job_] {
    const CSettingsFile settings = ProgramSettings();
    AccountCheckContext context(MakePageContext(settings, job->Window()));
    context.show_message = [&job](const std::string& text) {
      if (const HWND target = job->Window()) {
        SendMessageA(target, kShowMessage, 0, reinterpret_cast<LPARAM>(&text));
      }
    };
    SaveAccount(context, job->fields);
    if (const HWND target = job->Window()) PostMessageA(target, kDoneMessage, 0, 0);
  }).detach();
  return true;
}

AccountFields CAccountCheckWorker::Finish() {
  if (!job_) return {};
  // Posting the news was the thread's last step: the fields are no longer its.
  AccountFields fields = std::move(job_->fields);
  job_.reset();
  return fields;
}

}  // namespace zelquo::gui
