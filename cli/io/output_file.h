// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis/expected.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace vistrel::cli {

// Where text goes; a failed write returns false and every later one does too.
class Sink {
  public:
    Sink() = default;
    Sink(const Sink&) = delete;
    Sink& operator=(const Sink&) = delete;
    Sink(Sink&&) = delete;
    Sink& operator=(Sink&&) = delete;
    virtual ~Sink() = default;

    virtual bool write(std::string_view text) = 0;
    // A hint that what was written may go to the disk now, so that the wait
    // at the end is short; it may block while the disk is busy.
    virtual void writeBehind() {}
    // Why a write failed, as an Output error; see quietError.
    [[nodiscard]] virtual Error failure() const { return outputError("cannot write the output"); }
};

// The reader of a pipe went away: the run ends without a message, as other
// tools do then (`| head`).
[[nodiscard]] inline Error quietError() { return outputError({}); }

// The calls that fill an output and put it in place; a test passes its own
// to record or fail them.
class FileCalls {
  public:
    FileCalls() = default;
    FileCalls(const FileCalls&) = delete;
    FileCalls& operator=(const FileCalls&) = delete;
    FileCalls(FileCalls&&) = delete;
    FileCalls& operator=(FileCalls&&) = delete;
    virtual ~FileCalls() = default;

    virtual ssize_t write(int fd, std::string_view text);
    virtual int fsync(int fd);
    virtual int rename(const std::string& from, const std::string& to);
};

// A temporary stays this long after its last change before a later run may
// take it for one that a crash left behind.
inline constexpr int kStaleTemporaryMinutes = 10;

// An output of a command, opened so that no run can damage what is there:
// - "-" or an empty path is stdout;
// - an existing file that is not a regular one (a device, a FIFO, a
//   terminal, /dev/stdout or /proc/self/fd/N) is written straight;
// - a regular file or a new path is written to a temporary beside it and
//   renamed into place on commit, keeping the mode and owner of the file it
//   replaces. A symlink is followed, so that the link stays.
// Without a commit the temporary is removed, also on SIGINT, SIGTERM, SIGHUP
// and SIGPIPE. A crash cannot remove it: the temporary of NAME is named
// ".NAME.vistrel-XXXXXX" and locked while its run lives, and opening NAME
// again removes those of its temporaries that no run holds and that have not
// changed for kStaleTemporaryMinutes.
class OutputFile final : public Sink {
  public:
    // The output, or why it cannot be opened.
    static Expected<std::unique_ptr<OutputFile>> open(const std::string& path,
                                                      std::unique_ptr<FileCalls> calls = std::make_unique<FileCalls>());
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    OutputFile(OutputFile&&) = delete;
    OutputFile& operator=(OutputFile&&) = delete;
    ~OutputFile() override;

    bool write(std::string_view text) override;
    void writeBehind() override;
    // Flushes and closes the output and renames a temporary into place.
    Expected<void> commit();

    // After a failure: why, naming the output.
    [[nodiscard]] std::string error() const;
    // The same as an Error, a quiet one after a broken pipe.
    [[nodiscard]] Error failure() const override;
    // The reader of a pipe went away: other tools end quietly then.
    [[nodiscard]] bool brokenPipe() const;
    // A terminal, where control characters in the text would act instead of show.
    [[nodiscard]] bool isTerminal() const;

  private:
    OutputFile(std::string name, int fd, std::string temporary, std::string target, std::unique_ptr<FileCalls> calls);
    bool fail(int error);

    std::unique_ptr<FileCalls> calls_;
    std::string name_;
    int fd_;
    std::string temporary_; // empty when written straight
    std::uint64_t written_ = 0;
    std::uint64_t behind_ = 0; // the disk writes up to here were started
    std::string target_;
    int errno_ = 0;
    bool committed_ = false;
};

// Installs the handlers that remove temporaries when a signal ends the run.
// A signal that the parent set to be ignored (nohup) stays ignored.
void removeTemporariesOnSignals();

// True when both paths name the same existing file.
bool sameFile(const std::string& a, const std::string& b);
// True when writing output would change the regular file input names ("-"
// for stdin), through whatever links, or when both are one name.
bool wouldOverwrite(const std::string& output, const std::string& input);
// True when writing both paths would end in the same file: the same existing
// file, or the same new name once links and directories are resolved.
bool sameTarget(const std::string& a, const std::string& b);

} // namespace vistrel::cli
