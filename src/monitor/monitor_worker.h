// The thread the map monitor exchanges on, so that the window never waits for a socket:
// jobs run one after another in the order posted. Without a thread (tests) a job runs at
// once, inside Post.
#pragma once
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace r770 {

class MonitorWorker {
 public:
  explicit MonitorWorker(bool threaded = true);
  // Lets the job under way finish, drops the others and joins the thread.
  ~MonitorWorker();
  MonitorWorker(const MonitorWorker&) = delete;
  MonitorWorker& operator=(const MonitorWorker&) = delete;

  void Post(std::function<void()> job);
  // Blocks until every job posted so far has run (tests and console use).
  void Drain();
  bool Threaded() const { return thread_.joinable(); }

 private:
  void Run();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable idle_;
  std::deque<std::function<void()>> jobs_;
  bool busy_ = false;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace r770
