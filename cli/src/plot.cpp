#include "plot.h"

#include <array>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ; // NOLINT: the process environment, handed on to the plotter

namespace vistrel::cli {

namespace {

constexpr std::size_t kMostPlotted = 4000;

std::string besideThisProgram(const char* name) {
    std::array<char, PATH_MAX> self{};
    const ssize_t n = ::readlink("/proc/self/exe", self.data(), self.size() - 1);
    std::string path(self.data(), n > 0 ? static_cast<std::size_t>(n) : 0);
    const std::size_t slash = path.rfind('/');
    return (slash == std::string::npos ? std::string(".") : path.substr(0, slash)) + "/" + name;
}

bool endsWith(std::string_view s, std::string_view tail) {
    return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

// Thins a long sweep for drawing, keeping both sides of every change of verdict.
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
    return kept;
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

bool drawPlot(const std::vector<PlotPoint>& points, std::string_view xName, const std::string& path,
              std::string& error) {
    const std::string plotter = besideThisProgram("vistrel-plot");
    if (::access(plotter.c_str(), X_OK) != 0) {
        error = "cannot draw the plot: " + plotter + " is missing";
        return false;
    }
    std::array<int, 2> pipeFds{};
    if (::pipe(pipeFds.data()) != 0) {
        error = std::string("cannot draw the plot: ") + std::strerror(errno);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[0], STDIN_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[1]);
    std::string name(xName);
    std::string out(path);
    std::array<char*, 4> argv{const_cast<char*>(plotter.c_str()), name.data(), out.data(), nullptr};
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, plotter.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[0]);
    if (spawned != 0) {
        ::close(pipeFds[1]);
        error = std::string("cannot start ") + plotter + ": " + std::strerror(spawned);
        return false;
    }
    std::signal(SIGPIPE, SIG_IGN); // a plotter that stops reading is reported below
    std::FILE* to = ::fdopen(pipeFds[1], "w");
    const NumberText numbers(NumberFormat::invariant());
    for (const PlotPoint* p : thinned(points)) {
        std::fprintf(to, "%s,%s,%s,%s\n", numbers.plain(p->x).c_str(),
                     p->threshold ? numbers.plain(*p->threshold).c_str() : "",
                     p->actual ? numbers.plain(*p->actual).c_str() : "", p->state.c_str());
    }
    std::fclose(to);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        error = "drawing the plot to " + path + " failed";
        return false;
    }
    return true;
}

} // namespace vistrel::cli
