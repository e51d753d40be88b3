// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace vistrel::cli {

// Threads made once, which run one round of numbered jobs at a time while
// the caller goes on with its own work.
class WorkerPool {
  public:
    // Zero threads: as many as the machine has cores.
    explicit WorkerPool(std::size_t threads = 0);
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;
    WorkerPool(WorkerPool&&) = delete;
    WorkerPool& operator=(WorkerPool&&) = delete;
    // Finishes the round that was started, then joins.
    ~WorkerPool();

    // How many jobs can run at once; 1 when no thread could be made.
    [[nodiscard]] std::size_t size() const { return std::max<std::size_t>(1, threads_.size()); }
    // Runs job(0) to job(count - 1) on the workers and returns at once.
    void start(std::size_t count, std::function<void(std::size_t)> job);
    // Waits for the round started last; rethrows the first exception of a job.
    void wait();

  private:
    void work();

    std::mutex mutex_;
    std::condition_variable started_;
    std::condition_variable finished_;
    std::function<void(std::size_t)> job_;
    std::size_t count_ = 0;
    std::size_t next_ = 0;
    std::size_t pending_ = 0;
    bool stopping_ = false;
    std::exception_ptr error_;
    std::vector<std::thread> threads_;
};

} // namespace vistrel::cli
