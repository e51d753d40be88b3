// SPDX-License-Identifier: GPL-3.0-or-later
#include "worker_pool.h"

#include <algorithm>
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
    started_.notify_all();
    for (std::thread& t : threads_) {
        t.join();
    }
}

void WorkerPool::start(std::size_t count, std::function<void(std::size_t)> job) {
    if (threads_.empty()) {
        for (std::size_t k = 0; k < count; ++k) {
            job(k); // an exception reaches the caller at once
        }
        return;
    }
    {
        const std::lock_guard lock(mutex_);
        job_ = std::move(job);
        count_ = count;
        next_ = 0;
        pending_ = count;
    }
    started_.notify_all();
}

void WorkerPool::wait() {
    std::unique_lock lock(mutex_);
    finished_.wait(lock, [this] { return pending_ == 0; });
    count_ = 0;
    next_ = 0;
    if (error_) {
        std::rethrow_exception(std::exchange(error_, nullptr));
    }
}

void WorkerPool::work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        started_.wait(lock, [this] { return stopping_ || next_ < count_; });
        if (next_ >= count_) {
            return; // stopping, with nothing of the round left
        }
        const std::size_t k = next_++;
        lock.unlock();
        std::exception_ptr error;
        try {
            job_(k);
        } catch (...) {
            error = std::current_exception();
        }
        lock.lock();
        if (error && !error_) {
            error_ = error;
        }
        if (--pending_ == 0) {
            finished_.notify_all();
        }
    }
}

} // namespace vistrel::cli
