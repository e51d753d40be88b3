// SPDX-License-Identifier: GPL-3.0-or-later
#include "write_output.h"

#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vistrel::pdf {

namespace {

bool writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (n == 0) {
                errno = EIO;
            }
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool fail(const std::string& path, std::string& error) {
    error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
}

bool writeInPlace(const std::string& path, std::string_view data, std::string& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        return fail(path, error);
    }
    const bool written = writeAll(fd, data);
    const int writeError = errno;
    const bool closed = ::close(fd) == 0;
    if (!written) {
        errno = writeError;
    }
    return (written && closed) || fail(path, error);
}

} // namespace

bool writeOutput(const std::string& path, std::string_view data, std::string& error) {
    std::string target = path;
    struct stat st {};
    const bool exists = ::stat(path.c_str(), &st) == 0;
    if (!exists && errno != ENOENT) {
        return fail(path, error);
    }
    if (exists) {
        if (!S_ISREG(st.st_mode)) {
            return writeInPlace(path, data, error);
        }
        std::array<char, PATH_MAX> resolved{};
        if (::realpath(path.c_str(), resolved.data()) == nullptr) {
            return fail(path, error);
        }
        target = resolved.data(); // replace what a symlink points to, not the link
    } else {
        struct stat link {};
        if (::lstat(path.c_str(), &link) == 0) {
            errno = ENOENT; // a symlink to nowhere: creating its target would surprise
            return fail(path, error);
        }
    }
    const std::size_t slash = target.rfind('/');
    std::string temporary = (slash == std::string::npos ? std::string() : target.substr(0, slash + 1)) + "." +
                            target.substr(slash == std::string::npos ? 0 : slash + 1) + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        return fail(path, error);
    }
    mode_t mode = 0;
    if (exists) {
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    const bool written = writeAll(fd, data) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    const int writeError = errno;
    const bool closed = ::close(fd) == 0;
    if (!written) {
        errno = writeError;
    }
    if (!written || !closed || ::rename(temporary.c_str(), target.c_str()) != 0) {
        const int cause = errno;
        ::unlink(temporary.c_str());
        errno = cause;
        return fail(path, error);
    }
    return true;
}

} // namespace vistrel::pdf
