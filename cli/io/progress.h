// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A progress line on stderr while a long run works: how far, how fast and
// how long is left. Drawn only on a terminal, and never in a file or pipe.

#include "output_file.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

namespace vistrel::cli {

// "[####      ]  40%  400/1000 samples  200/s  3s left"; without a total,
// the count and rate alone. seconds is the time since the start.
[[nodiscard]] std::string progressLine(std::uint64_t done, std::uint64_t total, std::string_view unit, double seconds);

class Progress {
  public:
    // Draws nothing unless shown. total 0: not known.
    Progress(Sink& err, bool shown, std::string unit, std::uint64_t total);
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;
    Progress(Progress&&) = delete;
    Progress& operator=(Progress&&) = delete;
    ~Progress() { finish(); }

    // From any thread; redraws at most ten times a second. A total other
    // than 0 becomes the total, for a run that learns it as it goes.
    void update(std::uint64_t done, std::uint64_t total = 0);
    // Draws the last count and ends the line; once.
    void finish();
    // update, as a hook for the analysis to call; empty when not shown.
    [[nodiscard]] std::function<void(std::uint64_t, std::uint64_t)> hook();

  private:
    void draw(std::uint64_t done); // with mutex_ held

    Sink& err_;
    bool shown_;
    std::string unit_;
    std::uint64_t total_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::mutex mutex_;
    std::chrono::steady_clock::time_point lastDraw_{};
    std::uint64_t done_ = 0;
    std::size_t width_ = 0; // of the line drawn last, to blank what a shorter one leaves
    bool drawn_ = false;
    bool finished_ = false;
};

} // namespace vistrel::cli
