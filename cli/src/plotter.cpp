#include "plotter.h"

#include <array>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
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

bool writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
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

bool plotFormatSupported(std::string_view path) { return endsWith(path, ".svg") || endsWith(path, ".png"); }

std::string findPlotter() {
    std::array<char, PATH_MAX> self{};
    const ssize_t n = ::readlink("/proc/self/exe", self.data(), self.size() - 1);
    const std::string path(self.data(), n > 0 ? static_cast<std::size_t>(n) : 0);
    const std::size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? std::string(".") : path.substr(0, slash);
    for (const std::string& candidate : {dir + "/vistrel-plot", dir + "/../libexec/vistrel/vistrel-plot"}) {
        if (::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return {};
}

namespace {

// Runs the plotter with its format and one argument, hands it text and
// copies the chart it writes to out.
bool runPlotter(const std::string& plotter, std::string_view argument, const std::string& text, std::string_view path,
                Sink& out, std::string& error) {
    std::array<int, 2> toPlotter{};
    std::array<int, 2> fromPlotter{};
    if (::pipe2(toPlotter.data(), O_CLOEXEC) != 0) {
        error = std::string("cannot draw the plot: ") + std::strerror(errno);
        return false;
    }
    if (::pipe2(fromPlotter.data(), O_CLOEXEC) != 0) {
        error = std::string("cannot draw the plot: ") + std::strerror(errno);
        ::close(toPlotter[0]);
        ::close(toPlotter[1]);
        return false;
    }
    const PipeSignalIgnored pipeSignal;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toPlotter[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fromPlotter[1], STDOUT_FILENO);
    std::string format(endsWith(path, ".png") ? "png" : "svg");
    std::string name(argument);
    std::array<char*, 4> argv{const_cast<char*>(plotter.c_str()), format.data(), name.data(), nullptr};
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, plotter.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(toPlotter[0]);
    ::close(fromPlotter[1]);
    if (spawned != 0) {
        ::close(toPlotter[1]);
        ::close(fromPlotter[0]);
        error = "cannot start " + plotter + ": " + std::strerror(spawned);
        return false;
    }
    // The plotter reads all its input before it writes: no deadlock.
    writeAll(toPlotter[1], text); // a plotter that stopped reading says why in its status
    ::close(toPlotter[1]);
    bool readFailed = false;
    bool outFailed = false;
    std::array<char, 1 << 16> buffer{};
    for (;;) {
        const ssize_t n = ::read(fromPlotter[0], buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        readFailed = n < 0;
        if (n <= 0) {
            break;
        }
        if (!out.write({buffer.data(), static_cast<std::size_t>(n)})) {
            outFailed = true;
            break;
        }
    }
    ::close(fromPlotter[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (outFailed) {
        error.clear(); // the output says why
        return false;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        error = "drawing the plot to " + std::string(path) + " failed: vistrel-plot ended with " + exitText(status);
        return false;
    }
    if (readFailed) {
        error = "drawing the plot to " + std::string(path) + " failed: " + std::strerror(errno);
        return false;
    }
    return true;
}

} // namespace

bool drawPlot(const std::string& plotter, const std::vector<PlotPoint>& points, std::string_view xName,
              std::string_view path, const NumberText& numbers, Sink& out, std::string& error) {
    std::string text;
    for (const PlotPoint* p : thinned(points)) {
        text += numbers.plain(p->x) + ',' + (p->threshold ? numbers.plain(*p->threshold) : "") + ',' +
                (p->actual ? numbers.plain(*p->actual) : "") + ',' + p->state + '\n';
    }
    return runPlotter(plotter, xName, text, path, out, error);
}

bool drawTornado(const std::string& plotter, const std::string& bars, std::string_view path, Sink& out,
                 std::string& error) {
    return runPlotter(plotter, "--tornado", bars, path, out, error);
}

} // namespace vistrel::cli
