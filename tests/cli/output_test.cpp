// SPDX-License-Identifier: GPL-3.0-or-later
#include "output_file.h"
#include "worker_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <sys/stat.h>

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

TEST_F(Output, WithoutACommitTheOldFileStaysAndNoTemporaryIsLeft) {
    writeFile("out.csv", "old");
    std::string error;
    {
        auto out = OutputFile::open("out.csv", error);
        ASSERT_TRUE(out) << error;
        EXPECT_TRUE(out->write("new"));
    }
    EXPECT_EQ(read("out.csv"), "old");
    EXPECT_EQ(entries(), 1U);
}

TEST_F(Output, ACommitReplacesTheFileAndKeepsItsMode) {
    writeFile("out.csv", "old");
    ::chmod("out.csv", 0640);
    std::string error;
    auto out = OutputFile::open("out.csv", error);
    ASSERT_TRUE(out) << error;
    ASSERT_TRUE(out->write("new") && out->commit()) << out->error();
    EXPECT_EQ(read("out.csv"), "new");
    struct stat st {};
    ASSERT_EQ(::stat("out.csv", &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640U);
    EXPECT_EQ(entries(), 1U);
}

TEST_F(Output, ADirectoryIsRefusedWithItsReason) {
    fs::create_directory("d");
    std::string error;
    EXPECT_FALSE(OutputFile::open("d", error));
    EXPECT_EQ(error, "cannot write d: Is a directory");
}

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

} // namespace
