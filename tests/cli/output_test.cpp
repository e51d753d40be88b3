// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/worker_pool.h"
#include "output_file.h"
#include "progress.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace vistrel::cli;
namespace fs = std::filesystem;

class ScratchDir : public testing::Test {
  protected:
    void SetUp() override {
        std::string name = (fs::temp_directory_path() / "output_test.XXXXXX").string();
        ASSERT_NE(::mkdtemp(name.data()), nullptr);
        dir_ = name;
        previous_ = fs::current_path();
        fs::current_path(dir_);
    }
    void TearDown() override {
        fs::current_path(previous_);
        fs::remove_all(dir_);
    }

    static std::string read(const std::string& path) {
        std::ifstream in(path);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    static void writeFile(const std::string& path, const std::string& text) { std::ofstream(path) << text; }
    // How many names the folder holds: one too many is a temporary left behind.
    [[nodiscard]] std::size_t entries() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
    }

    fs::path dir_;
    fs::path previous_;
};

using Output = ScratchDir;

std::unique_ptr<OutputFile> opened(const std::string& path,
                                   std::unique_ptr<FileCalls> calls = std::make_unique<FileCalls>()) {
    auto out = OutputFile::open(path, std::move(calls));
    return out ? std::move(*out) : nullptr;
}

TEST_F(Output, WithoutACommitTheOldFileStaysAndNoTemporaryIsLeft) {
    writeFile("out.csv", "old");
    {
        auto out = opened("out.csv");
        ASSERT_TRUE(out);
        EXPECT_TRUE(out->write("new"));
    }
    EXPECT_EQ(read("out.csv"), "old");
    EXPECT_EQ(entries(), 1U);
}

TEST_F(Output, ACommitReplacesTheFileAndKeepsItsMode) {
    writeFile("out.csv", "old");
    ::chmod("out.csv", 0640);
    auto out = opened("out.csv");
    ASSERT_TRUE(out);
    ASSERT_TRUE(out->write("new") && out->commit()) << out->error();
    EXPECT_EQ(read("out.csv"), "new");
    struct stat st {};
    ASSERT_EQ(::stat("out.csv", &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640U);
    EXPECT_EQ(entries(), 1U);
}

TEST_F(Output, ADirectoryIsRefusedWithItsReason) {
    fs::create_directory("d");
    const auto out = OutputFile::open("d");
    ASSERT_FALSE(out);
    EXPECT_EQ(out.error().message, "cannot write d: Is a directory");
}

// Fails one of the calls that put a file in place, or records their order.
class Calls final : public FileCalls {
  public:
    Calls(std::vector<std::string>& log, std::string failing) : log_(log), failing_(std::move(failing)) {}
    ssize_t write(int fd, std::string_view text) override { return call("write") ? FileCalls::write(fd, text) : -1; }
    int fsync(int fd) override { return call("fsync") ? FileCalls::fsync(fd) : -1; }
    int rename(const std::string& from, const std::string& to) override {
        return call("rename") ? FileCalls::rename(from, to) : -1;
    }

  private:
    bool call(const std::string& name) {
        log_.push_back(name);
        errno = EIO;
        return name != failing_;
    }
    std::vector<std::string>& log_;
    std::string failing_;
};

TEST_F(Output, WhatWasWrittenReachesTheDiskBeforeItReplacesTheOldFile) {
    std::vector<std::string> log;
    auto out = opened("out.csv", std::make_unique<Calls>(log, ""));
    ASSERT_TRUE(out && out->write("new") && out->commit());
    EXPECT_EQ(log, (std::vector<std::string>{"write", "fsync", "rename"}));
}

class FailedCall : public ScratchDir, public testing::WithParamInterface<const char*> {};

TEST_P(FailedCall, FailsTheCommitAndKeepsTheOldFile) {
    writeFile("out.csv", "old");
    std::vector<std::string> log;
    {
        auto out = opened("out.csv", std::make_unique<Calls>(log, GetParam()));
        ASSERT_TRUE(out);
        out->write("new");
        EXPECT_FALSE(out->commit());
        EXPECT_EQ(out->error(), "cannot write out.csv: Input/output error");
    }
    EXPECT_EQ(read("out.csv"), "old");
    EXPECT_EQ(entries(), 1U);
}

INSTANTIATE_TEST_SUITE_P(Calls, FailedCall, testing::Values("write", "fsync", "rename"));

// Bytes written and the file size the kernel allows: a write beyond it fails (EFBIG).
struct Overflow {
    std::vector<std::size_t> writes;
    rlim_t limit;
};

class WriteBeyondLimit : public ScratchDir, public testing::WithParamInterface<Overflow> {};

// In a child, whose file size limit stays there; its status is 0 when the
// failed write fails the commit too.
int commitAfterFailedWrite(const Overflow& o) {
    const rlimit limit{o.limit, o.limit};
    std::signal(SIGXFSZ, SIG_IGN);
    auto out = opened("out.csv");
    if (!out || ::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
        return 2;
    }
    bool written = true;
    for (const std::size_t size : o.writes) {
        written = out->write(std::string(size, 'x')) && written;
    }
    return !written && !out->commit() ? 0 : 1;
}

TEST_P(WriteBeyondLimit, FailsTheCommitAndKeepsTheOldFile) {
    writeFile("out.csv", "old");
    EXPECT_EXIT(std::exit(commitAfterFailedWrite(GetParam())), testing::ExitedWithCode(0), "");
    EXPECT_EQ(read("out.csv"), "old");
    EXPECT_EQ(entries(), 1U);
}

INSTANTIATE_TEST_SUITE_P(Writes, WriteBeyondLimit,
                         testing::Values(Overflow{{10}, 0}, Overflow{{8192}, 4096}, Overflow{{3000, 3000}, 4096},
                                         Overflow{{4096, 1}, 4096}));

// A temporary left in the folder before a write to out.csv: only one that a
// crashed run left behind is removed.
struct Leftover {
    const char* name;
    char kind; // f: file, l: symlink, d: folder, o: another user's file
    int minutesOld;
    bool held; // locked by a run that still writes it
    bool removed;
};

class Leftovers : public ScratchDir, public testing::WithParamInterface<Leftover> {};

TEST_P(Leftovers, OnlyStaleTemporariesOfTheTargetGo) {
    const Leftover& l = GetParam();
    if (l.kind == 'o' && ::geteuid() != 0) {
        GTEST_SKIP() << "needs root to give a file away";
    }
    if (l.kind == 'd') {
        fs::create_directory(l.name);
    } else if (l.kind == 'l') {
        fs::create_symlink("x", l.name);
    } else {
        writeFile(l.name, "");
    }
    const int held = ::open(l.name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    ASSERT_TRUE(l.kind == 'l' || (held >= 0 && (!l.held || ::flock(held, LOCK_EX) == 0)));
    ASSERT_TRUE(l.kind != 'o' || ::lchown(l.name, 65534, 65534) == 0);
    const timespec then{::time(nullptr) - l.minutesOld * 60, 0};
    const std::array<timespec, 2> times{then, then};
    ASSERT_EQ(::utimensat(AT_FDCWD, l.name, times.data(), AT_SYMLINK_NOFOLLOW), 0);
    auto out = opened("out.csv");
    ASSERT_TRUE(out && out->write("new") && out->commit());
    EXPECT_EQ(!fs::exists(fs::symlink_status(l.name)), l.removed) << l.name;
    EXPECT_EQ(read("out.csv"), "new");
    ::close(held);
}

INSTANTIATE_TEST_SUITE_P(
    Names, Leftovers,
    testing::Values(Leftover{".out.csv.vistrel-Ab12Cd", 'f', kStaleTemporaryMinutes + 1, false, true},
                    Leftover{".out.csv.vistrel-Ab12Cd", 'f', kStaleTemporaryMinutes - 1, false, false},
                    Leftover{".out.csv.vistrel-Ab12Cd", 'f', 60, true, false},
                    Leftover{".out.csv.vistrel-Ab12Cd", 'l', 60, false, false},
                    Leftover{".out.csv.vistrel-Ab12Cd", 'd', 60, false, false},
                    Leftover{".out.csv.vistrel-Ab12Cd", 'o', 60, false, false},
                    Leftover{".out.csv.vistrel-Ab12C", 'f', 60, false, false},
                    Leftover{".out.csv.vistrel-Ab12Cde", 'f', 60, false, false},
                    Leftover{".out.csv.vistrel-Ab.2Cd", 'f', 60, false, false},
                    Leftover{".out.csv.vistrel-.Ab12Cd", 'f', 60, false, false},
                    Leftover{".in.csv.vistrel-Ab12Cd", 'f', 60, false, false},
                    Leftover{"out.csv.vistrel-Ab12Cd", 'f', 60, false, false},
                    Leftover{".out.csv.Ab12Cd", 'f', 60, false, false}));

struct SameCase {
    const char* a;
    const char* b;
    bool same;
};

class SameTarget : public ScratchDir, public testing::WithParamInterface<SameCase> {};

// -o and --plot must not end in one file, however they are spelled.
TEST_P(SameTarget, ResolvesLinksAndDirectories) {
    writeFile("a.svg", "");
    fs::create_directory("sub");
    fs::create_symlink("a.svg", "link.svg");
    fs::create_symlink("new.svg", "dangling.svg");
    EXPECT_EQ(sameTarget(GetParam().a, GetParam().b), GetParam().same) << GetParam().a << " " << GetParam().b;
}

INSTANTIATE_TEST_SUITE_P(Paths, SameTarget,
                         testing::Values(SameCase{"a.svg", "a.svg", true}, SameCase{"a.svg", "./a.svg", true},
                                         SameCase{"link.svg", "a.svg", true}, SameCase{"sub/../a.svg", "a.svg", true},
                                         SameCase{"dangling.svg", "new.svg", true},
                                         SameCase{"sub/../new.svg", "new.svg", true}, SameCase{"a.svg", "b.svg", false},
                                         SameCase{"sub/a.svg", "a.svg", false}));

class Pool : public testing::TestWithParam<std::size_t> {};

TEST_P(Pool, JobsRunOnceAndAreCollectedInTheirOrder) {
    WorkerPool pool(GetParam());
    std::vector<std::atomic<int>> runs(200);
    std::size_t collected = 0;
    for (std::size_t k = 0; k < runs.size(); ++k) {
        pool.submit([&runs, k] { ++runs[k]; });
        if (k % 7 == 6) { // collect some while others are still queued
            for (; collected + 3 <= k; ++collected) {
                pool.waitNext();
                ASSERT_EQ(runs[collected].load(), 1) << "job " << collected;
            }
        }
    }
    for (; collected < runs.size(); ++collected) {
        pool.waitNext();
        ASSERT_EQ(runs[collected].load(), 1) << "job " << collected;
    }
}

TEST_P(Pool, AFailingJobReachesTheCallerInItsTurnAndThePoolGoesOn) {
    WorkerPool pool(GetParam());
    std::atomic<int> runs = 0;
    for (int k = 0; k < 4; ++k) {
        pool.submit([&runs, k] {
            ++runs;
            if (k == 2) {
                throw std::runtime_error("job 2");
            }
        });
    }
    pool.waitNext();
    pool.waitNext();
    EXPECT_THROW(pool.waitNext(), std::runtime_error);
    pool.waitNext();
    pool.submit([&runs] { ++runs; });
    pool.waitNext();
    EXPECT_EQ(runs.load(), 5);
}

INSTANTIATE_TEST_SUITE_P(Threads, Pool, testing::Values(1, 2, 8));

// The progress line: share, count, rate and time left, and what a run past its total shows.
TEST(ProgressLine, SaysHowFarHowFastAndHowLong) {
    struct Row {
        std::uint64_t done, total;
        double seconds;
        std::string line;
    };
    const std::string bar = "[#######                       ]";
    for (const Row& r : std::initializer_list<Row>{
             {250, 1000, 2.0, bar + "  25%  250/1000 samples  125/s  6s left"},
             {1, 4, 2.0, "[#######                       ]  25%  1/4 samples  0.5/s  6s left"},
             {1, 7201, 1.0, "[                              ]   0%  1/7201 samples  1.0/s  2h00m left"},
             {1, 121, 1.0, "[                              ]   0%  1/121 samples  1.0/s  2m00s left"},
             {1500, 1000, 1.0, "[##############################] 100%  1500/1000 samples  1500/s"},
             {5, 0, 1.0, "5 samples  5.0/s"},
             {0, 10, 0.0, "[                              ]   0%  0/10 samples"},
         }) {
        EXPECT_EQ(vistrel::cli::progressLine(r.done, r.total, "samples", r.seconds), r.line)
            << r.done << "/" << r.total;
    }
}

} // namespace
