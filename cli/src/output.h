#pragma once

#include <cstdio>
#include <memory>
#include <string>

namespace vistrel::cli {

// A file written through a temporary beside it and renamed into place on
// commit, so that an interrupted run never leaves half a file under the final
// name. Without a commit the temporary is removed.
class AtomicFile {
  public:
    // Null with error set when the temporary cannot be created.
    static std::unique_ptr<AtomicFile> create(const std::string& path, std::string& error);
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;
    AtomicFile(AtomicFile&&) = delete;
    AtomicFile& operator=(AtomicFile&&) = delete;
    ~AtomicFile();

    [[nodiscard]] std::FILE* file() const { return file_; }
    bool commit(std::string& error);

  private:
    AtomicFile(std::string path, std::string temporary, std::FILE* file);

    std::string path_;
    std::string temporary_;
    std::FILE* file_;
    bool committed_ = false;
};

// True when both paths name the same existing file.
bool sameFile(const std::string& a, const std::string& b);

} // namespace vistrel::cli
