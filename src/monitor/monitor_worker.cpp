#include "monitor/monitor_worker.h"

namespace r770 {

MonitorWorker::MonitorWorker(bool threaded) {
  if (threaded) thread_ = std::thread([this] { Run(); });
}

MonitorWorker::~MonitorWorker() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    jobs_.clear();
  }
  wake_.notify_all();
  thread_.join();
}

void MonitorWorker::Post(std::function<void()> job) {
  if (!thread_.joinable()) {
    job();
    return;
  }
  {
    std::lock_guard lock(mutex_);
    jobs_.push_back(std::move(job));
  }
  wake_.notify_one();
}

void MonitorWorker::Drain() {
  if (!thread_.joinable()) return;
  std::unique_lock lock(mutex_);
  idle_.wait(lock, [this] { return jobs_.empty() && !busy_; });
}

void MonitorWorker::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
    if (stopping_) break;
    std::function<void()> job = std::move(jobs_.front());
    jobs_.pop_front();
    busy_ = true;
    lock.unlock();
    job();
    lock.lock();
    busy_ = false;
    if (jobs_.empty()) idle_.notify_all();
  }
  busy_ = false;
  idle_.notify_all();
}

}  // namespace r770
