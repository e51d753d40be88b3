// SPDX-License-Identifier: GPL-3.0-or-later
// The whole run of vistrel-cli, and of vistrel-screen, which vistrel-cli hands
// its screen runs to so that its own start loads no image library.
#include "command_table.h"
#include "commands.h"
#include "output_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <new>
#include <unistd.h>

namespace {

using namespace vistrel::cli;
using vistrel::NumberFormat;
using vistrel::NumberText;

void say(std::string_view text) { std::cerr << text << std::flush; }

// stderr as a Sink.
class Stderr final : public Sink {
  public:
    bool write(std::string_view text) override {
        say(text);
        return static_cast<bool>(std::cerr);
    }
};

// A closed standard descriptor would be taken by the next file opened, and
// output meant for it would land there: hold it with /dev/null, opened for
// reading only, so that writes to it fail as they would have.
bool holdClosedDescriptor(int fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) {
        return false;
    }
    const int held = ::open("/dev/null", O_RDONLY);
    if (held >= 0 && held != fd) {
        ::close(held);
    }
    return true;
}

// stdout is written straight, so a failed write is seen; its close is checked here.
int closeStdout(int status) {
    std::cout.flush();
    if (!std::cout || ::close(STDOUT_FILENO) != 0) {
        if (errno != EPIPE) {
            say(std::string("vistrel-cli: cannot write stdout: ") + std::strerror(errno) + "\n");
        }
        return status == 0 ? 1 : status;
    }
    return status;
}

} // namespace

namespace vistrel::cli {

int runProgram(int argc, char** argv, ScreenJudge judge) {
    const bool stdinClosed = holdClosedDescriptor(STDIN_FILENO);
    holdClosedDescriptor(STDOUT_FILENO);
    holdClosedDescriptor(STDERR_FILENO);
    removeTemporariesOnSignals();
    int status = 1;
    try {
        // Every number the command line reads or writes goes through this one.
        const NumberText numbers(NumberFormat::invariant());
        const std::vector<std::string> args(argv, argv + argc);
        auto out = OutputFile::open("-");
        Stderr err;
        Console console{**out, err, stdinClosed ? nullptr : stdin, ::isatty(STDOUT_FILENO) != 0,
                        ::isatty(STDERR_FILENO) != 0};
        status = runCommandLine(args, console, numbers, judge);
    } catch (const std::bad_alloc&) {
        say("vistrel-cli: out of memory\n");
        status = 1;
    } catch (const std::exception& e) {
        say(std::string("vistrel-cli: ") + escaped(e.what()) + "\n");
        status = 1;
    }
    return closeStdout(status);
}

} // namespace vistrel::cli
