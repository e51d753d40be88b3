// SPDX-License-Identifier: GPL-3.0-or-later
#include "output_file.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vistrel::cli {

namespace {

// A signal handler can reach only static storage: it names the temporaries
// to remove when the run is interrupted (a CSV and a plot at most).
std::array<std::array<char, PATH_MAX>, 2> gTemporaries{};

extern "C" void removeTemporariesAndDie(int signal) {
    for (const auto& name : gTemporaries) {
        if (name[0] != '\0') {
            ::unlink(name.data());
        }
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

bool remember(const std::string& temporary) {
    for (auto& slot : gTemporaries) {
        if (slot[0] == '\0' && temporary.size() < slot.size()) {
            std::memcpy(slot.data() + 1, temporary.c_str() + 1, temporary.size());
            slot[0] = temporary[0]; // last, so that a handler never sees half a name
            return true;
        }
    }
    return false;
}

void forget(const std::string& temporary) {
    for (auto& slot : gTemporaries) {
        if (temporary == slot.data()) {
            slot[0] = '\0';
        }
    }
}

std::string directoryOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Descriptor links of the kernel: opening them reaches the open file itself.
bool isDescriptorLink(const std::string& path) {
    return path.starts_with("/proc/") || path.starts_with("/dev/fd/") || path == "/dev/stdout" || path == "/dev/stderr";
}

// The descriptor of this process that a descriptor link names, if it is one.
std::optional<int> ownDescriptor(const std::string& path) {
    if (path == "/dev/stdout") {
        return STDOUT_FILENO;
    }
    if (path == "/dev/stderr") {
        return STDERR_FILENO;
    }
    for (const std::string_view prefix : {"/dev/fd/", "/proc/self/fd/"}) {
        if (path.starts_with(prefix)) {
            const std::string number = path.substr(prefix.size());
            if (!number.empty() && number.size() < 9 && number.find_first_not_of("0123456789") == std::string::npos) {
                return std::stoi(number);
            }
        }
    }
    return std::nullopt;
}

// Follows a chain of symlinks to the name that a write would land on, also
// when that name does not exist yet. Empty with errno set on a loop.
std::string followLinks(std::string path, bool& descriptorLink) {
    for (int hop = 0; hop < 40; ++hop) {
        descriptorLink = isDescriptorLink(path);
        struct stat st {};
        if (descriptorLink || ::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            return path;
        }
        std::array<char, PATH_MAX> target{};
        const ssize_t n = ::readlink(path.c_str(), target.data(), target.size() - 1);
        if (n <= 0) {
            return path;
        }
        std::string next(target.data(), static_cast<std::size_t>(n));
        path = next.front() == '/' ? next : directoryOf(path).append("/").append(next);
    }
    errno = ELOOP;
    return {};
}

std::string reason(const std::string& name, int error) { return "cannot write " + name + ": " + std::strerror(error); }

constexpr std::string_view kTemporaryTag = ".vistrel-";
constexpr std::size_t kRandomChars = 6; // mkstemp's XXXXXX

// ".NAME.vistrel-": what a temporary of target is named before its random
// part; a long NAME is cut so that the whole fits in a folder entry.
std::string temporaryPrefix(const std::string& target) {
    std::string base = baseOf(target);
    base.resize(std::min(base.size(), NAME_MAX - 1 - kTemporaryTag.size() - kRandomChars));
    return "." + base + std::string(kTemporaryTag);
}

bool isTemporaryOf(std::string_view name, std::string_view prefix) {
    return name.size() == prefix.size() + kRandomChars && name.starts_with(prefix) &&
           std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; });
}

// Removes the temporaries that runs writing the same name left when they
// crashed or were killed. A living run holds a lock on its temporary, which
// ends with the run however it ends; the age covers the moment between
// creating a temporary and locking it, and a file system whose locks do not
// reach other machines. Only regular files of this user are touched.
void removeStaleTemporaries(const std::string& directory, const std::string& prefix) {
    const int dirFd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) {
        return;
    }
    DIR* dir = ::fdopendir(dirFd);
    if (dir == nullptr) {
        ::close(dirFd);
        return;
    }
    const std::time_t staleBefore = std::time(nullptr) - std::time_t{kStaleTemporaryMinutes} * 60;
    while (const dirent* entry = ::readdir(dir)) {
        struct stat st {};
        if (!isTemporaryOf(entry->d_name, prefix) || ::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() || st.st_mtime > staleBefore) {
            continue;
        }
        const int fd = ::openat(dirFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        struct stat opened {};
        if (::fstat(fd, &opened) == 0 && opened.st_dev == st.st_dev && opened.st_ino == st.st_ino &&
            ::flock(fd, LOCK_SH | LOCK_NB) == 0) {
            ::unlinkat(dirFd, entry->d_name, 0);
        }
        ::close(fd);
    }
    ::closedir(dir);
}

} // namespace

ssize_t FileCalls::write(int fd, std::string_view text) { return ::write(fd, text.data(), text.size()); }

int FileCalls::fsync(int fd) { return ::fsync(fd); }

int FileCalls::rename(const std::string& from, const std::string& to) { return ::rename(from.c_str(), to.c_str()); }

OutputFile::OutputFile(std::string name, int fd, std::string temporary, std::string target,
                       std::unique_ptr<FileCalls> calls)
    : calls_(std::move(calls)), name_(std::move(name)), fd_(fd), temporary_(std::move(temporary)),
      target_(std::move(target)) {}

Expected<std::unique_ptr<OutputFile>> OutputFile::open(const std::string& path, std::unique_ptr<FileCalls> calls) {
    if (path.empty() || path == "-") {
        return std::unique_ptr<OutputFile>(new OutputFile("stdout", STDOUT_FILENO, {}, {}, std::move(calls)));
    }
    bool descriptorLink = false;
    const std::string target = followLinks(path, descriptorLink);
    if (target.empty()) {
        return outputError(reason(path, errno));
    }
    struct stat st {};
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (!exists && errno != ENOENT) {
        return outputError(reason(path, errno));
    }
    if (exists && S_ISDIR(st.st_mode)) {
        return outputError(reason(path, EISDIR));
    }
    if (descriptorLink || (exists && !S_ISREG(st.st_mode))) {
        // Never replaced: a device node or a pipe must stay what it is. One of
        // our own descriptors is shared, not reopened, so that its offset and
        // append mode hold (`-o /dev/stdout >> log` appends).
        const auto own = ownDescriptor(target);
        const int fd = own ? ::fcntl(*own, F_DUPFD_CLOEXEC, 3) : ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) {
            return outputError(reason(path, errno));
        }
        return std::unique_ptr<OutputFile>(new OutputFile(path, fd, {}, {}, std::move(calls)));
    }
    const std::string prefix = temporaryPrefix(target);
    std::string temporary = directoryOf(target) + "/" + prefix + std::string(kRandomChars, 'X');
    if (temporary.size() >= PATH_MAX) {
        return outputError(reason(path, ENAMETOOLONG));
    }
    removeStaleTemporaries(directoryOf(target), prefix);
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        return outputError(reason(path, errno));
    }
    ::flock(fd, LOCK_EX | LOCK_NB); // held until the temporary is renamed or removed: this run still needs it
    if (!remember(temporary)) {
        ::close(fd);
        ::unlink(temporary.c_str());
        return outputError(reason(path, EMFILE));
    }
    if (exists) {
        // Keep who may read the file: a private file must stay private.
        if (st.st_uid != ::geteuid() || st.st_gid != ::getegid()) {
            [[maybe_unused]] const int ignored = ::fchown(fd, st.st_uid, st.st_gid);
        }
        ::fchmod(fd, st.st_mode & 07777);
    } else {
        const mode_t mask = ::umask(0); // mkstemp made it private; give it the usual permissions
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }
    return std::unique_ptr<OutputFile>(new OutputFile(path, fd, std::move(temporary), target, std::move(calls)));
}

OutputFile::~OutputFile() {
    if (fd_ > STDERR_FILENO) {
        ::close(fd_);
    }
    if (!temporary_.empty() && !committed_) {
        ::unlink(temporary_.c_str());
    }
    forget(temporary_);
}

bool OutputFile::fail(int error) {
    if (errno_ == 0) {
        errno_ = error;
    }
    return false;
}

bool OutputFile::write(std::string_view text) {
    if (errno_ != 0) {
        return false;
    }
    while (!text.empty()) {
        const ssize_t n = calls_->write(fd_, text);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return fail(n < 0 ? errno : EIO);
        }
        text.remove_prefix(static_cast<std::size_t>(n));
        written_ += static_cast<std::uint64_t>(n);
    }
    return true;
}

void OutputFile::writeBehind() {
    // Only a temporary is synced before it is renamed; the sync still
    // reports any failure, so this one's result is not needed.
    if (!temporary_.empty() && errno_ == 0 && written_ > behind_) {
        static_cast<void>(::sync_file_range(fd_, static_cast<off_t>(behind_), static_cast<off_t>(written_ - behind_),
                                            SYNC_FILE_RANGE_WRITE));
        behind_ = written_;
    }
}

Expected<void> OutputFile::commit() {
    if (errno_ != 0) {
        return failure();
    }
    if (fd_ == STDOUT_FILENO) {
        return {}; // closed at exit, where the close is checked
    }
    if (!temporary_.empty() && calls_->fsync(fd_) != 0) {
        fail(errno);
        return failure();
    }
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) {
        fail(errno);
        return failure();
    }
    if (!temporary_.empty() && calls_->rename(temporary_, target_) != 0) {
        fail(errno);
        return failure();
    }
    committed_ = true;
    return {};
}

std::string OutputFile::error() const { return reason(name_, errno_); }

bool OutputFile::brokenPipe() const { return errno_ == EPIPE; }

Error OutputFile::failure() const { return brokenPipe() ? quietError() : outputError(error()); }

bool OutputFile::isTerminal() const { return fd_ >= 0 && ::isatty(fd_) != 0; }

void removeTemporariesOnSignals() {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
        struct sigaction old {};
        if (::sigaction(signal, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) {
            continue; // nohup and the like: the parent wants it ignored
        }
        struct sigaction action {};
        action.sa_handler = removeTemporariesAndDie;
        sigemptyset(&action.sa_mask);
        ::sigaction(signal, &action, nullptr);
    }
}

bool sameFile(const std::string& a, const std::string& b) {
    struct stat sa {};
    struct stat sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

bool wouldOverwrite(const std::string& output, const std::string& input) {
    if (output == input) {
        return true;
    }
    struct stat in {};
    struct stat out {};
    const bool found = input == "-" ? ::fstat(STDIN_FILENO, &in) == 0 : ::stat(input.c_str(), &in) == 0;
    // A device, a FIFO or a terminal is written straight and replaces nothing.
    return found && S_ISREG(in.st_mode) && ::stat(output.c_str(), &out) == 0 && in.st_dev == out.st_dev &&
           in.st_ino == out.st_ino;
}

bool sameTarget(const std::string& a, const std::string& b) {
    if (a == b || sameFile(a, b)) {
        return true;
    }
    const auto canonical = [](const std::string& path) {
        bool descriptorLink = false;
        std::string target = followLinks(path, descriptorLink);
        char* dir = ::realpath(directoryOf(target).c_str(), nullptr);
        if (dir == nullptr) {
            return target;
        }
        std::string full = std::string(dir) + "/" + baseOf(target);
        std::free(dir);
        return full;
    };
    return canonical(a) == canonical(b);
}

} // namespace vistrel::cli
