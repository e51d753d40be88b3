// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace vistrel::cli {

// Threads made once, which take queued jobs in order while the caller goes on
// with its own work and collects the jobs' ends in the same order.
class WorkerPool {
  public:
    // Zero threads: as many as the machine has cores.
    explicit WorkerPool(std::size_t threads = 0);
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;
    WorkerPool(WorkerPool&&) = delete;
    WorkerPool& operator=(WorkerPool&&) = delete;
    // Lets the running jobs finish and drops the queued ones, then joins.
    ~WorkerPool();

    // How many jobs can run at once; 1 when no thread could be made.
    [[nodiscard]] std::size_t size() const { return std::max<std::size_t>(1, threads_.size()); }
    // Queues a job; jobs start in the order they come. Without threads it runs at once.
    void submit(std::function<void()> job);
    // Waits for the oldest job not waited for yet; rethrows its exception.
    void waitNext();

  private:
    struct Entry {
        std::function<void()> job;
        bool done = false;
        std::exception_ptr error;
    };
    void work();

    std::mutex mutex_;
    std::condition_variable queued_;
    std::condition_variable finished_;
    std::deque<Entry> entries_; // not waited for yet, oldest first
    std::size_t nextToStart_ = 0;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

} // namespace vistrel::cli
