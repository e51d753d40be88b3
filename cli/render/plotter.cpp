// SPDX-License-Identifier: GPL-3.0-or-later
#include "plotter.h"

#include "plot_protocol.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ; // NOLINT: the process environment, handed on to the plotter

namespace vistrel::cli {

namespace {

constexpr std::size_t kMostPlotted = 4000;
constexpr std::size_t kMostSent = 100'000; // stays below what the plotter takes

bool endsWith(std::string_view s, std::string_view tail) {
    return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

constexpr const char* kCaptionSeparator = " \u00B7 ";

std::string lowerFirst(std::string text) {
    if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z') {
        text[0] = static_cast<char>(text[0] - 'A' + 'a');
    }
    return text;
}

// "Letter HT to Stroke Width Ratio" as a figure labels it: "Letter HT to
// stroke width ratio". Capitalised words after the first are lowered;
// abbreviations, all in capitals, stay.
std::string sentenceCase(std::string_view caption) {
    std::string out;
    std::size_t start = 0;
    while (start <= caption.size()) {
        const std::size_t space = std::min(caption.find(' ', start), caption.size());
        std::string word(caption.substr(start, space - start));
        const bool capitalised = word.size() > 1 && std::all_of(word.begin() + 1, word.end(),
                                                                [](char c) { return !(c >= 'A' && c <= 'Z'); });
        if (start > 0) {
            out += ' ';
        }
        out += start > 0 && capitalised ? lowerFirst(word) : word;
        start = space + 1;
    }
    return out;
}

// The window's unit labels as symbols: "LUX" is lux, "cd/m^2" is cd/m².
// Mixed case such as fL (foot-lambert) is kept.
std::string unitText(std::string_view unit) {
    std::string out;
    bool mixed = false;
    for (std::size_t k = 1; k < unit.size(); ++k) {
        mixed = mixed || (unit[k - 1] >= 'a' && unit[k - 1] <= 'z' && unit[k] >= 'A' && unit[k] <= 'Z');
    }
    for (std::size_t k = 0; k < unit.size(); ++k) {
        if (unit.substr(k, 2) == "^2") {
            out += "\u00B2";
            ++k;
        } else {
            out += !mixed && unit[k] >= 'A' && unit[k] <= 'Z' ? static_cast<char>(unit[k] - 'A' + 'a') : unit[k];
        }
    }
    return out;
}

// Thins a long sweep for drawing, keeping both sides of every change of
// verdict while there are not too many of them.
std::vector<const PlotPoint*> thinned(const std::vector<PlotPoint>& points) {
    std::vector<const PlotPoint*> kept;
    const std::size_t every = points.size() / kMostPlotted + 1;
    for (std::size_t k = 0; k < points.size(); ++k) {
        const bool change = (k > 0 && points[k].state != points[k - 1].state) ||
                            (k + 1 < points.size() && points[k].state != points[k + 1].state);
        if (k % every == 0 || change || k + 1 == points.size()) {
            kept.push_back(&points[k]);
        }
    }
    if (kept.size() > kMostSent) {
        const std::size_t stride = kept.size() / kMostSent + 1;
        std::size_t n = 0;
        for (std::size_t k = 0; k < kept.size(); k += stride) {
            kept[n++] = kept[k];
        }
        kept.resize(n);
    }
    return kept;
}

// SIGPIPE ignored while it lives: a plotter that stops reading is seen in its exit status.
class PipeSignalIgnored {
  public:
    PipeSignalIgnored() {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        ::sigaction(SIGPIPE, &ignore, &old_);
    }
    PipeSignalIgnored(const PipeSignalIgnored&) = delete;
    PipeSignalIgnored& operator=(const PipeSignalIgnored&) = delete;
    PipeSignalIgnored(PipeSignalIgnored&&) = delete;
    PipeSignalIgnored& operator=(PipeSignalIgnored&&) = delete;
    ~PipeSignalIgnored() { ::sigaction(SIGPIPE, &old_, nullptr); }

  private:
    struct sigaction old_ {};
};

std::string exitText(int status) {
    if (WIFEXITED(status)) {
        return "exit status " + std::to_string(WEXITSTATUS(status));
    }
    if (WIFSIGNALED(status)) {
        return std::string("signal ") + std::to_string(WTERMSIG(status)) + " (" + ::strsignal(WTERMSIG(status)) + ")";
    }
    return "status " + std::to_string(status);
}

} // namespace

PlotPoint plotPoint(const Case& c, const Evaluation& e, std::size_t variedColumn, const NumberText& numbers) {
    PlotPoint p;
    p.x = numbers.parse(c.text(variedColumn)).value;
    if (e.hasVerdict()) {
        p.threshold = numbers.parse(c.store().text(Field::ThresholdCon)).value;
        p.actual = numbers.parse(c.store().text(Field::ActualCon)).value;
        p.state = c.store().text(Field::Result);
    }
    return p;
}

std::optional<PlotFormat> plotFormat(std::string_view path) {
    for (const auto& [ending, format] :
         {std::pair{".svg", PlotFormat::Svg}, std::pair{".png", PlotFormat::Png}, std::pair{".pdf", PlotFormat::Pdf}}) {
        if (endsWith(path, ending)) {
            return format;
        }
    }
    return std::nullopt;
}

std::string figureCaption(std::size_t column) { return sentenceCase(fieldInfo(*kColumns[column].field).caption); }

std::string figureUnit(std::size_t column) { return unitText(fieldInfo(*kColumns[column].field).unit); }

PlotFigure sweepFigure(const Case& base, std::size_t variedColumn) {
    PlotFigure figure;
    const FieldInfo& varied = fieldInfo(*kColumns[variedColumn].field);
    const std::string quantity = sentenceCase(varied.caption);
    const std::string unit = unitText(varied.unit);
    figure.xTitle = unit.empty() ? quantity : quantity + " (" + unit + ")";
    figure.xUnit = unit;
    figure.title = "Threshold and actual contrast against " + lowerFirst(quantity);
    const std::string_view mode = base.view(0);
    figure.caption = mode.empty() ? std::string() : "Mode: " + std::string(mode);
    for (std::size_t k = 1; k < kFirstOutputColumn; ++k) {
        const FieldInfo& f = fieldInfo(*kColumns[k].field);
        const std::string_view text = base.view(k);
        if (k == variedColumn || text.empty() || text == f.start) {
            continue;
        }
        const std::string fieldUnit = unitText(f.unit);
        // A no-break space keeps a value with its unit where the caption wraps.
        figure.caption += std::string(figure.caption.empty() ? "" : kCaptionSeparator) + sentenceCase(f.caption) + " " +
                          std::string(text) + (fieldUnit.empty() ? "" : "\u00A0" + fieldUnit);
    }
    return figure;
}

Expected<plot::Size> checkPlotOptions(const std::string& path, bool logX, const std::string& sizeText,
                                      const SweepSpec& sweep, const NumberText& numbers) {
    plot::Size size;
    if (path.empty()) {
        if (logX || !sizeText.empty()) {
            return usageError("--log-x and --plot-size need --plot");
        }
        return size;
    }
    if (!plotFormat(path)) {
        return usageError("--plot must end in .svg, .png or .pdf");
    }
    if (!sizeText.empty()) {
        const auto parsed = plot::parseSize(sizeText, numbers);
        if (!parsed) {
            return usageError("--plot-size \"" + sizeText + "\" must be WxH, each side a whole number of pixels from " +
                              std::to_string(plot::kSmallestSide) + " to " + std::to_string(plot::kLargestSide));
        }
        size = *parsed;
    }
    if (logX && !(sweep.from > 0 && sweep.to > 0)) {
        return usageError("--log-x needs FROM and TO above 0");
    }
    return size;
}

std::string findPlotter() { return findHelper("vistrel-plot"); }

std::string findHelper(std::string_view name) {
    std::array<char, PATH_MAX> self{};
    const ssize_t n = ::readlink("/proc/self/exe", self.data(), self.size() - 1);
    const std::string path(self.data(), n > 0 ? static_cast<std::size_t>(n) : 0);
    const std::size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? std::string(".") : path.substr(0, slash);
    for (std::string candidate : {dir + "/", dir + "/../libexec/vistrel/"}) {
        candidate += name;
        if (::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return {};
}

Expected<void> runHelper(const std::string& program, std::vector<std::string> args, const std::string& text,
                         std::string_view task, std::uint64_t most, Sink& out) {
    std::array<int, 2> toPlotter{};
    std::array<int, 2> fromPlotter{};
    if (::pipe2(toPlotter.data(), O_CLOEXEC) != 0) {
        return outputError(std::string(task) + " failed: " + std::strerror(errno));
    }
    if (::pipe2(fromPlotter.data(), O_CLOEXEC) != 0) {
        const int failed = errno;
        ::close(toPlotter[0]);
        ::close(toPlotter[1]);
        return outputError(std::string(task) + " failed: " + std::strerror(failed));
    }
    const PipeSignalIgnored pipeSignal;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toPlotter[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fromPlotter[1], STDOUT_FILENO);
    args.insert(args.begin(), program);
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(toPlotter[0]);
    ::close(fromPlotter[1]);
    if (spawned != 0) {
        ::close(toPlotter[1]);
        ::close(fromPlotter[0]);
        return outputError("cannot start " + program + ": " + std::strerror(spawned));
    }
    // Its input is handed over while its output is read, so that neither
    // side waits for the other, in whatever order the helper works.
    ::fcntl(toPlotter[1], F_SETFL, O_NONBLOCK);
    std::string_view unsent = text;
    int toHelper = toPlotter[1];
    const auto stopSending = [&toHelper] {
        ::close(toHelper); // a helper that stopped reading says why in its status
        toHelper = -1;
    };
    if (unsent.empty()) {
        stopSending();
    }
    bool readFailed = false;
    bool outFailed = false;
    bool tooMuch = false;
    int readError = 0;
    std::uint64_t received = 0;
    std::array<char, 1 << 16> buffer{};
    for (;;) {
        std::array<pollfd, 2> fds{{{fromPlotter[0], POLLIN, 0}, {toHelper, POLLOUT, 0}}};
        if (::poll(fds.data(), toHelper < 0 ? 1 : 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            readFailed = true;
            readError = errno;
            break;
        }
        if (toHelper >= 0 && fds[1].revents != 0) {
            const ssize_t n = ::write(toHelper, unsent.data(), unsent.size());
            if (n > 0) {
                unsent.remove_prefix(static_cast<std::size_t>(n));
            }
            if (unsent.empty() || (n < 0 && errno != EAGAIN && errno != EINTR)) {
                stopSending();
            }
        }
        if (fds[0].revents == 0) {
            continue;
        }
        const ssize_t n = ::read(fromPlotter[0], buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            readFailed = n < 0;
            readError = errno;
            break;
        }
        received += static_cast<std::uint64_t>(n);
        if (received > most) {
            tooMuch = true;
            ::kill(pid, SIGKILL);
            break;
        }
        if (!out.write({buffer.data(), static_cast<std::size_t>(n)})) {
            outFailed = true;
            break;
        }
    }
    if (toHelper >= 0) {
        stopSending();
    }
    ::close(fromPlotter[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    const std::string name = program.substr(program.rfind('/') + 1);
    if (tooMuch) {
        return outputError(std::string(task) + " failed: " + name + " wrote more than " + std::to_string(most >> 20) +
                           " MiB, the most taken from it");
    }
    if (outFailed) {
        return out.failure();
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return outputError(std::string(task) + " failed: " + name + " ended with " + exitText(status));
    }
    if (readFailed) {
        return outputError(std::string(task) + " failed: " + std::strerror(readError));
    }
    return {};
}

namespace {

constexpr std::array<const char*, 3> kFormats{"svg", "png", "pdf"};

std::string drawingTo(std::string_view path) { return "drawing the plot to " + std::string(path); }

} // namespace

Expected<void> drawPlot(const std::string& plotter, const std::vector<PlotPoint>& points, const PlotFigure& figure,
                        std::string_view path, const NumberText& numbers, Sink& out) {
    std::vector<std::string> args{kFormats[static_cast<std::size_t>(figure.format)],
                                  std::string(plot::kTitleOption),
                                  figure.title,
                                  std::string(plot::kXTitleOption),
                                  figure.xTitle,
                                  std::string(plot::kXUnitOption),
                                  figure.xUnit,
                                  std::string(plot::kCaptionOption),
                                  figure.caption,
                                  std::string(plot::kSizeOption),
                                  plot::sizeText(figure.size)};
    if (figure.logX) {
        args.emplace_back(plot::kLogXOption);
    }
    std::string text;
    for (const PlotPoint* p : thinned(points)) {
        text += plot::pointLine(p->x, p->threshold, p->actual, p->state, numbers);
    }
    return runHelper(plotter, std::move(args), text, drawingTo(path), kMostFromHelper, out);
}

Expected<void> drawTornado(const std::string& plotter, const std::string& bars, std::string_view path, Sink& out,
                           plot::Size size) {
    const PlotFormat format = plotFormat(path).value_or(PlotFormat::Svg);
    return runHelper(plotter,
                     {kFormats[static_cast<std::size_t>(format)], std::string(plot::kTornadoOption),
                      std::string(plot::kTitleOption), std::string(plot::kTornadoTitle), std::string(plot::kSizeOption),
                      plot::sizeText(size)},
                     bars, drawingTo(path), kMostFromHelper, out);
}

} // namespace vistrel::cli
