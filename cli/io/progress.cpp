// SPDX-License-Identifier: GPL-3.0-or-later
#include "progress.h"

#include <algorithm>
#include <cmath>

namespace vistrel::cli {

namespace {

constexpr auto kRedraw = std::chrono::milliseconds(100);

std::string duration(double seconds) {
    const auto whole = static_cast<std::uint64_t>(std::ceil(seconds));
    if (whole < 60) {
        return std::to_string(whole) + "s";
    }
    const std::uint64_t minutes = whole / 60;
    std::string s = std::to_string(whole % 60);
    s.insert(0, 2 - s.size(), '0');
    if (minutes < 60) {
        return std::to_string(minutes) + "m" + s + "s";
    }
    std::string m = std::to_string(minutes % 60);
    m.insert(0, 2 - m.size(), '0');
    return std::to_string(minutes / 60) + "h" + m + "m";
}

} // namespace

std::string progressLine(std::uint64_t done, std::uint64_t total, std::string_view unit, double seconds) {
    std::string line;
    if (total > 0) {
        constexpr int kWidth = 30;
        // done may pass total: a file may have grown since it was measured
        const double share = std::min(1.0, static_cast<double>(done) / static_cast<double>(total));
        const auto filled = static_cast<std::size_t>(share * kWidth);
        std::string percent = std::to_string(static_cast<int>(share * 100));
        percent.insert(0, 3 - percent.size(), ' ');
        line = "[" + std::string(filled, '#') + std::string(kWidth - filled, ' ') + "] " + percent + "%  " +
               std::to_string(done) + "/" + std::to_string(total);
    } else {
        line = std::to_string(done);
    }
    line += " " + std::string(unit);
    if (seconds > 0 && done > 0) {
        const double rate = static_cast<double>(done) / seconds;
        std::string perSecond = std::to_string(std::llround(rate * 10)); // tenths below 10 a second
        if (rate < 10) {
            perSecond.insert(0, 2 - std::min<std::size_t>(perSecond.size(), 2), '0');
            perSecond.insert(perSecond.size() - 1, ".");
        } else {
            perSecond = std::to_string(std::llround(rate));
        }
        line += "  " + perSecond + "/s";
        if (total > done) {
            line += "  " + duration(static_cast<double>(total - done) / rate) + " left";
        }
    }
    return line;
}

Progress::Progress(Sink& err, bool shown, std::string unit, std::uint64_t total)
    : err_(err), shown_(shown), unit_(std::move(unit)), total_(total) {}

void Progress::update(std::uint64_t done, std::uint64_t total) {
    if (!shown_) {
        return;
    }
    const std::scoped_lock lock(mutex_);
    if (total != 0) {
        total_ = total;
    }
    done_ = std::max(done_, done); // workers report out of order
    const auto now = std::chrono::steady_clock::now();
    if (!finished_ && (!drawn_ || now - lastDraw_ >= kRedraw)) {
        lastDraw_ = now;
        draw(done_);
    }
}

void Progress::finish() {
    if (!shown_) {
        return;
    }
    const std::scoped_lock lock(mutex_);
    if (finished_) {
        return;
    }
    draw(total_ > 0 ? std::max(done_, total_) : done_);
    err_.write("\n");
    finished_ = true;
}

std::function<void(std::uint64_t, std::uint64_t)> Progress::hook() {
    if (!shown_) {
        return {};
    }
    return [this](std::uint64_t done, std::uint64_t total) { update(done, total); };
}

void Progress::draw(std::uint64_t done) {
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    std::string line = progressLine(done, total_, unit_, seconds);
    const std::size_t width = line.size();
    line.append(width_ > width ? width_ - width : 0, ' ');
    width_ = width;
    err_.write("\r" + line);
    drawn_ = true;
}

} // namespace vistrel::cli
