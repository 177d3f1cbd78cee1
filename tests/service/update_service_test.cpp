// The service's control handling and state reports, against a service manager and event log
// that only record what they are told.
#include "host/update_service.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "host/service_identity.h"

namespace zelquo::service {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct Report {
  std::uint32_t state;
  std::uint32_t controls;
  std::uint32_t checkpoint;
  std::uint32_t wait_hint = 0;
  friend bool operator==(const Report&, const Report&) = default;
};

struct Event {
  EventType type;
  std::uint32_t id;
  std::string text;
  friend bool operator==(const Event&, const Event&) = default;
};

std::ostream& operator<<(std::ostream& out, const Report& r) {
  return out << "{state " << r.state << ", controls " << r.controls << ", checkpoint " << r.checkpoint << ", hint "
             << r.wait_hint << "}";
}
std::ostream& operator<<(std::ostream& out, const Event& e) {
  return out << "{type " << static_cast<int>(e.type) << ", id 0x" << std::hex << e.id << std::dec << ", \"" << e.text
             << "\"}";
}

// A service manager and event log that record every call.
class CRecordingSystem {
 public:
  bool running_as_service = true;
  bool event_source_available = true;

  ServiceSystemCalls Calls() {
    return ServiceSystemCalls{
        .register_control_handler = [this](const std::string& name) -> SystemHandle {
          std::lock_guard lock(mutex_);
          registered_names_.push_back(name);
          return running_as_service ? &status_handle_ : nullptr;
        },
        .set_status = [this](SystemHandle handle, const ServiceStatusReport& report) {
          std::lock_guard lock(mutex_);
          EXPECT_EQ(report.service_type, 0x10u);
          EXPECT_EQ(report.win32_exit_code, 0u);
          EXPECT_EQ(report.service_exit_code, 0u);
          if (handle != &status_handle_) return false;
          reports_.push_back({report.current_state, report.controls_accepted, report.checkpoint, report.wait_hint});
          if (report.current_state == kStopped) stopped_report_after_events_ = events_.size();
          changed_.notify_all();
          return true;
        },
        .register_event_source = [this](const std::string& source) -> SystemHandle {
          EXPECT_EQ(source, kDisplayName);
          return event_source_available ? &event_source_ : nullptr;
        },
        .deregister_event_source = [this](SystemHandle source) { EXPECT_EQ(source, &event_source_); },
        .report_event = [this](SystemHandle source, EventType type, std::uint32_t id, const std::string& text) {
          std::lock_guard lock(mutex_);
          EXPECT_EQ(source, &event_source_);
          events_.push_back({type, id, text});
          changed_.notify_all();
          return true;
        },
    };
  }

  // Waits until count reports of state have arrived from the loop (which reports checkpoint 1).
  bool WaitForLoopReport(std::uint32_t state, int count = 1, std::chrono::milliseconds timeout = 5s) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] {
      int seen = 0;
      for (const auto& report : reports_) seen += report.state == state && report.checkpoint == 1;
      return seen >= count;
    });
  }

  std::vector<Report> Reports() {
    std::lock_guard lock(mutex_);
    return reports_;
  }
  std::vector<Event> Events() {
    std::lock_guard lock(mutex_);
    return events_;
  }
  std::vector<std::string> RegisteredNames() {
    std::lock_guard lock(mutex_);
    return registered_names_;
  }
  // Once the manager hears "stopped" the process may end at once, so the stopped event must
  // already be out.
  bool StoppedEventCameBeforeStoppedReport() {
    std::lock_guard lock(mutex_);
    return stopped_report_after_events_ > 0 && events_[stopped_report_after_events_ - 1].id == message_ids::kStopped;
  }
  void ClearRecords() {
    std::lock_guard lock(mutex_);
    reports_.clear();
    events_.clear();
  }

 private:
  char status_handle_ = 0;
  char event_source_ = 0;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> registered_names_;
  std::vector<Report> reports_;
  std::vector<Event> events_;
  std::size_t stopped_report_after_events_ = 0;
};

// A loop body whose every pass is one poll-interval wait. Pause and continue are seen between
// passes only, so the tests that pause keep the interval short.
class CWaitingBody final : public UpdateLoopBody {
 public:
  void Start() override { ++starts; }
  void Pass(PollIntervalWait& wait) override {
    ++passes;
    wait.Wait(interval_seconds);
  }
  std::atomic<int> interval_seconds{60};
  std::atomic<int> starts{0};
  std::atomic<int> passes{0};
};

constexpr UpdateServiceTimings kQuick{.start_delay = 5ms, .stop_delay = 20ms, .paused_pass = 10ms};
constexpr std::uint32_t kStopHint = 3000;  // the production wait hint, which kQuick keeps

Event Info(std::uint32_t id, std::string text = kDisplayName) { return {EventType::kInformation, id, std::move(text)}; }

class UpdateServiceTest : public ::testing::Test {
 protected:
  void StartRun(UpdateServiceTimings timings = kQuick) {
    service_ = std::make_unique<CUpdateService>(keep_running_, body_, system_.Calls(), timings);
    runner_ = std::thread([this] {
      char name[] = "ZelquoIUCSvc";
      char* argv[] = {name, nullptr};
      service_->Run(1, argv);
      returned_ = true;
    });
    ASSERT_TRUE(system_.WaitForLoopReport(kRunning));
  }
  void TearDown() override {
    if (runner_.joinable()) {
      if (!returned_) service_->Handler(kControlStop);
      runner_.join();
    }
  }

  CRecordingSystem system_;
  CKeepRunningFlag keep_running_;
  CWaitingBody body_;
  std::unique_ptr<CUpdateService> service_;
  std::thread runner_;
  std::atomic<bool> returned_{false};
};

TEST_F(UpdateServiceTest, GoesThroughPauseContinueAndStopWithEveryReportAndEvent) {
  body_.interval_seconds = 1;
  StartRun();
  service_->Handler(kControlPause);
  ASSERT_TRUE(system_.WaitForLoopReport(kPaused));
  service_->Handler(kControlContinue);
  ASSERT_TRUE(system_.WaitForLoopReport(kRunning, 2));
  service_->Handler(kControlStop);
  runner_.join();

  EXPECT_EQ(system_.RegisteredNames(), std::vector<std::string>{"ZelquoIUCSvc"});
  EXPECT_EQ(system_.Reports(), (std::vector<Report>{
                                   {kStartPending, 0, 1},     // no controls while starting
                                   {kRunning, 3, 1},          //
                                   {kPausePending, 3, 0},     // the handler's report
                                   {kPaused, 3, 1},           // the loop noticed
                                   {kContinuePending, 3, 0},  //
                                   {kRunning, 3, 1},          //
                                   {kStopPending, 3, 0, kStopHint},  //
                                   {kStopPending, 3, 1, kStopHint},  //
                                   {kStopped, 3, 1},                 //
                               }));
  EXPECT_EQ(system_.Events(), (std::vector<Event>{Info(message_ids::kStarted), Info(message_ids::kPaused),
                                                  Info(message_ids::kContinued), Info(message_ids::kStopped)}));
  EXPECT_EQ(body_.starts, 1);
  EXPECT_TRUE(system_.StoppedEventCameBeforeStoppedReport());
  EXPECT_FALSE(keep_running_.IsSet());
  EXPECT_EQ(service_->CurrentState(), kStopped);
}

TEST_F(UpdateServiceTest, StopWhilePausedLogsNoContinue) {
  body_.interval_seconds = 1;
  StartRun();
  service_->Handler(kControlPause);
  ASSERT_TRUE(system_.WaitForLoopReport(kPaused));
  const int passes_when_paused = body_.passes;
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(body_.passes, passes_when_paused) << "a paused loop runs no passes";
  service_->Handler(kControlStop);
  runner_.join();
  EXPECT_EQ(system_.Events(),
            (std::vector<Event>{Info(message_ids::kStarted), Info(message_ids::kPaused), Info(message_ids::kStopped)}));
  EXPECT_EQ(system_.Reports().back(), (Report{kStopped, 3, 1}));
}

// Controls that arrive together, inside one poll-interval wait or one paused rest, leave the
// manager showing the state the loop is in; a stop goes before a pending pause or continue.
TEST(UpdateServiceControls, ControlsWithinOneWaitEndInTheLoopsState) {
  struct Case {
    const char* name;
    bool paused_first;
    std::vector<std::uint32_t> controls;
    std::uint32_t final_state;
    std::vector<std::uint32_t> events;  // after the controls
  };
  const Case cases[] = {
      {"pause, continue", false, {kControlPause, kControlContinue}, kRunning, {}},
      {"paused: continue, pause", true, {kControlContinue, kControlPause}, kPaused, {}},
      {"pause, stop", false, {kControlPause, kControlStop}, kStopped, {message_ids::kStopped}},
      {"paused: continue, stop", true, {kControlContinue, kControlStop}, kStopped, {message_ids::kStopped}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CRecordingSystem system;
    CKeepRunningFlag keep_running;
    CWaitingBody body;
    body.interval_seconds = 1;
    UpdateServiceTimings timings = kQuick;
    timings.paused_pass = 400ms;
    CUpdateService service(keep_running, body, system.Calls(), timings);
    std::thread runner([&] { service.Debug(); });
    ASSERT_TRUE(system.WaitForLoopReport(kRunning));
    if (c.paused_first) {
      service.Handler(kControlPause);
      ASSERT_TRUE(system.WaitForLoopReport(kPaused));
    }
    std::this_thread::sleep_for(50ms);  // inside the wait or the rest
    system.ClearRecords();
    for (const std::uint32_t control : c.controls) service.Handler(control);
    if (c.final_state != kStopped) {
      EXPECT_TRUE(system.WaitForLoopReport(c.final_state));
      EXPECT_EQ(service.CurrentState(), c.final_state);
      EXPECT_EQ(system.Reports().back(), (Report{c.final_state, 3, 1}));
      system.ClearRecords();
      service.Handler(kControlStop);
    }
    runner.join();
    std::vector<Event> events;
    for (const std::uint32_t id : c.events) events.push_back(Info(id));
    if (c.final_state != kStopped) events.push_back(Info(message_ids::kStopped));
    EXPECT_EQ(system.Events(), events);
    if (c.final_state == kStopped) {
      for (const Report& report : system.Reports()) EXPECT_NE(report.state, kPaused) << "no pause while stopping";
    }
  }
}

// A stop that comes while a pass is busy (a request, a route trace, the custom command) is
// reported as stop-pending with a wait hint and a checkpoint that advances until the loop ends,
// so that a controller watching for progress keeps waiting.
TEST(UpdateServiceControls, AStopDuringABusyPassReportsProgressUntilTheLoopEnds) {
  class CBusyBody final : public UpdateLoopBody {
   public:
    void Start() override {}
    void Pass(PollIntervalWait& /*wait*/) override {
      busy = true;
      std::this_thread::sleep_for(450ms);
    }
    std::atomic<bool> busy{false};
  } body;
  CRecordingSystem system;
  CKeepRunningFlag keep_running;
  UpdateServiceTimings timings = kQuick;
  timings.stop_progress = 100ms;
  timings.stop_wait_hint = 1000ms;
  CUpdateService service(keep_running, body, system.Calls(), timings);
  std::thread runner([&] { service.Debug(); });
  while (!body.busy) std::this_thread::sleep_for(5ms);
  system.ClearRecords();
  service.Handler(kControlStop);
  runner.join();

  const std::vector<Report> reports = system.Reports();
  ASSERT_GE(reports.size(), 5u);
  EXPECT_EQ(reports.front(), (Report{kStopPending, 3, 0, 1000})) << "the handler's own report";
  for (std::size_t i = 1; i + 1 < reports.size(); ++i) {
    EXPECT_EQ(reports[i], (Report{kStopPending, 3, static_cast<std::uint32_t>(i), 1000})) << i;
  }
  EXPECT_EQ(reports.back(), (Report{kStopped, 3, 1}));
  EXPECT_TRUE(system.StoppedEventCameBeforeStoppedReport());
}

// The production delays: a stop during the poll-interval wait reaches "stopped" within about
// two seconds (the wait ends at once, then the one-second stop delay).
TEST_F(UpdateServiceTest, StopDuringTheWaitEndsWithinTwoSeconds) {
  StartRun(UpdateServiceTimings{});
  while (body_.passes == 0) std::this_thread::sleep_for(5ms);
  std::this_thread::sleep_for(50ms);
  const auto start = Clock::now();
  service_->Handler(kControlStop);
  runner_.join();
  const auto took = Clock::now() - start;
  EXPECT_GE(took, 950ms);
  EXPECT_LT(took, 2s);
  EXPECT_EQ(body_.passes, 1);
}

TEST_F(UpdateServiceTest, UserControlsDoubleAndHalveTheIntervalAndLogIt) {
  StartRun();
  // The started event follows the running report: it must be in before the records are cleared.
  const auto deadline = Clock::now() + 5s;
  while (system_.Events().empty() && Clock::now() < deadline) std::this_thread::sleep_for(1ms);
  system_.ClearRecords();
  service_->Handler(128);
  EXPECT_EQ(service_->Interval(), 2000u);
  service_->Handler(255);
  EXPECT_EQ(service_->Interval(), 1000u);
  service_->Handler(200);
  service_->Handler(200);
  service_->Handler(201);
  EXPECT_EQ(service_->Interval(), 2000u);
  EXPECT_EQ(system_.Events(),
            (std::vector<Event>{Info(message_ids::kBeepIntervalSet, "2000"), Info(message_ids::kBeepIntervalSet, "1000"),
                                Info(message_ids::kBeepIntervalSet, "2000"), Info(message_ids::kBeepIntervalSet, "4000"),
                                Info(message_ids::kBeepIntervalSet, "2000")}));
  // Each control ends with a report of the unchanged state.
  EXPECT_EQ(system_.Reports(), std::vector<Report>(5, Report{kRunning, 3, 0}));
}

TEST_F(UpdateServiceTest, InterrogateAndShutdownReportAndLogAsTheHostDoes) {
  StartRun();
  system_.ClearRecords();
  service_->Handler(kControlInterrogate);
  EXPECT_EQ(system_.Reports(), std::vector<Report>(2, Report{kRunning, 3, 0}));
  service_->Handler(kControlShutdown);
  EXPECT_EQ(system_.Events(), std::vector<Event>{Info(message_ids::kShutdown)});
  EXPECT_EQ(service_->CurrentState(), kRunning) << "shutdown is not a stop";
}

TEST(BeepInterval, DoublesUpTo200AndHalvesAbove) {
  EXPECT_EQ(NextBeepInterval(1000, 0), 2000u);
  EXPECT_EQ(NextBeepInterval(1000, 128), 2000u);
  EXPECT_EQ(NextBeepInterval(1000, 200), 2000u);
  EXPECT_EQ(NextBeepInterval(1000, 201), 500u);
  EXPECT_EQ(NextBeepInterval(1001, 255), 500u);
  EXPECT_EQ(NextBeepInterval(1, 255), 0u);
  EXPECT_EQ(NextBeepInterval(0x80000000u, 128), 0u) << "the 32-bit value wraps";
}

// Outside the service manager (the debug switch) registration and every status report fail, but
// the loop runs and logs as usual.
TEST(UpdateServiceDebug, RunsWithoutTheServiceManagerAndStillLogs) {
  CRecordingSystem system;
  system.running_as_service = false;
  CKeepRunningFlag keep_running;
  CWaitingBody body;
  CUpdateService service(keep_running, body, system.Calls(), kQuick);
  std::thread runner([&] { service.Debug(); });
  while (body.passes == 0) std::this_thread::sleep_for(5ms);
  EXPECT_FALSE(service.RegisterControlHandler());
  EXPECT_FALSE(service.ReportCurrentStatus());
  service.Handler(kControlStop);  // the test's way in; no control reaches a real debug run
  runner.join();
  EXPECT_TRUE(system.Reports().empty());
  EXPECT_EQ(system.Events(), (std::vector<Event>{Info(message_ids::kStarted), Info(message_ids::kStopped)}));
}

TEST(ServiceHost, WithoutAnEventSourceLogsNothing) {
  CRecordingSystem system;
  system.event_source_available = false;
  CKeepRunningFlag keep_running;
  CWaitingBody body;
  CUpdateService service(keep_running, body, system.Calls(), kQuick);
  EXPECT_FALSE(service.LogEvent(EventType::kInformation, message_ids::kStarted, kDisplayName));
  EXPECT_TRUE(system.Events().empty());
}

TEST(ServiceHost, IsTheProcessWideServiceWhileItLives) {
  CRecordingSystem system;
  EXPECT_EQ(CServiceHost::Current(), nullptr);
  {
    CServiceHost host(kServiceName, kDisplayName, 3, "", system.Calls());
    EXPECT_EQ(CServiceHost::Current(), &host);
    EXPECT_EQ(host.CurrentState(), kStopped);
    // The host's own control operations only log.
    host.Handler(kControlStop);
    host.Handler(kControlPause);
    host.Handler(kControlContinue);
    host.Handler(kControlShutdown);
    EXPECT_EQ(host.CurrentState(), kStopped);
  }
  EXPECT_EQ(system.Events(), (std::vector<Event>{Info(message_ids::kStopped), Info(message_ids::kPaused),
                                                 Info(message_ids::kContinued), Info(message_ids::kShutdown)}));
  EXPECT_EQ(CServiceHost::Current(), nullptr);
}

}  // namespace
}  // namespace zelquo::service
