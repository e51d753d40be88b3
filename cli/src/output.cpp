#include "output.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace vistrel::cli {

namespace {

// A signal handler can reach only static storage: it names the temporary to
// remove when the run is interrupted.
std::array<char, 4096> gInterruptedTemporary{};

extern "C" void removeTemporaryAndDie(int signal) {
    if (gInterruptedTemporary[0] != '\0') {
        ::unlink(gInterruptedTemporary.data());
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

std::string errnoText() { return std::strerror(errno); }

} // namespace

AtomicFile::AtomicFile(std::string path, std::string temporary, std::FILE* file)
    : path_(std::move(path)), temporary_(std::move(temporary)), file_(file) {}

std::unique_ptr<AtomicFile> AtomicFile::create(const std::string& path, std::string& error) {
    const std::size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string temporary = dir + "." + base + ".XXXXXX";
    if (temporary.size() >= gInterruptedTemporary.size()) {
        error = "the output path is too long: " + path;
        return nullptr;
    }
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        error = "cannot write " + path + ": " + errnoText();
        return nullptr;
    }
    std::FILE* file = ::fdopen(fd, "wb");
    if (file == nullptr) {
        ::close(fd);
        ::unlink(temporary.c_str());
        error = "cannot write " + path + ": " + errnoText();
        return nullptr;
    }
    std::memcpy(gInterruptedTemporary.data(), temporary.c_str(), temporary.size() + 1);
    std::signal(SIGINT, removeTemporaryAndDie);
    std::signal(SIGTERM, removeTemporaryAndDie);
    std::signal(SIGHUP, removeTemporaryAndDie);
    return std::unique_ptr<AtomicFile>(new AtomicFile(path, std::move(temporary), file));
}

AtomicFile::~AtomicFile() {
    if (file_ != nullptr) {
        std::fclose(file_);
    }
    if (!committed_) {
        ::unlink(temporary_.c_str());
    }
    gInterruptedTemporary[0] = '\0';
}

bool AtomicFile::commit(std::string& error) {
    const bool written = std::fflush(file_) == 0 && std::ferror(file_) == 0 && ::fsync(::fileno(file_)) == 0;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!written || !closed) {
        error = "cannot write " + path_ + ": " + errnoText();
        return false;
    }
    const mode_t mask = ::umask(0); // mkstemp made it private; give it the usual permissions
    ::umask(mask);
    ::chmod(temporary_.c_str(), 0666 & ~mask);
    if (::rename(temporary_.c_str(), path_.c_str()) != 0) {
        error = "cannot write " + path_ + ": " + errnoText();
        return false;
    }
    committed_ = true;
    return true;
}

bool sameFile(const std::string& a, const std::string& b) {
    struct stat sa {};
    struct stat sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

} // namespace vistrel::cli
