// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/worker_pool.h"

#include <system_error>
#include <utility>

namespace vistrel::cli {

WorkerPool::WorkerPool(std::size_t threads) {
    const std::size_t n = threads > 0 ? threads : std::max(1U, std::thread::hardware_concurrency());
    threads_.reserve(n);
    for (std::size_t k = 0; k < n; ++k) {
        try {
            threads_.emplace_back([this] { work(); });
        } catch (const std::system_error&) {
            break; // under a limit on threads or memory: fewer workers, or the caller alone
        }
    }
}

WorkerPool::~WorkerPool() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    queued_.notify_all();
    for (std::thread& t : threads_) {
        t.join();
    }
}

void WorkerPool::submit(std::function<void()> job) {
    if (threads_.empty()) {
        Entry& e = entries_.emplace_back();
        try {
            job();
        } catch (...) {
            e.error = std::current_exception();
        }
        e.done = true;
        return;
    }
    {
        const std::lock_guard lock(mutex_);
        entries_.push_back({std::move(job), false, nullptr});
    }
    queued_.notify_one();
}

void WorkerPool::waitNext() {
    std::unique_lock lock(mutex_);
    finished_.wait(lock, [this] { return !entries_.empty() && entries_.front().done; });
    std::exception_ptr error = std::move(entries_.front().error);
    entries_.pop_front();
    if (nextToStart_ > 0) {
        --nextToStart_;
    }
    lock.unlock();
    if (error) {
        std::rethrow_exception(error);
    }
}

void WorkerPool::work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        queued_.wait(lock, [this] { return stopping_ || nextToStart_ < entries_.size(); });
        if (stopping_) {
            return;
        }
        // Stays in place until waited for: the caller pops only finished entries.
        Entry& e = entries_[nextToStart_++];
        lock.unlock();
        try {
            e.job();
        } catch (...) {
            e.error = std::current_exception();
        }
        lock.lock();
        e.done = true;
        // The caller waits for the oldest job only: a later one's end would wake it for nothing.
        if (&e == &entries_.front()) {
            finished_.notify_all();
        }
    }
}

} // namespace vistrel::cli
