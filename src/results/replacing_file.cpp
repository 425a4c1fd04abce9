#include "results/replacing_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <utility>
#include <vector>

namespace vobrix::results {
namespace {

[[noreturn]] void Fail(const std::string& path, int error) {
  throw WriteError("cannot write '" + path + "': " + std::strerror(error));
}

}  // namespace

ReplacingFile::ReplacingFile(std::string path) : path_(std::move(path)) {
  struct stat target {};
  const bool exists = ::stat(path_.c_str(), &target) == 0;
  if (exists && !S_ISREG(target.st_mode)) {
    writing_ = destination_ = path_;
    file_ = std::fopen(path_.c_str(), "w");
    if (!file_) Fail(path_, errno);
    return;
  }
  // Beside the file a link points to, so that the link stays and the rename stays on one file
  // system.
  std::error_code ignored;
  const std::string real =
      exists ? std::filesystem::canonical(path_, ignored).string() : std::string();
  destination_ = real.empty() ? path_ : real;
  std::string pattern = destination_ + ".tmp-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int fd = ::mkstemp(name.data());
  if (fd < 0) Fail(path_, errno);
  writing_ = name.data();
  // The mode a new file would get, or the one the target has.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd, exists ? (target.st_mode & 07777) : (0666 & ~mask));
  file_ = ::fdopen(fd, "w");
  if (!file_) {
    const int error = errno;
    ::close(fd);
    Discard();
    Fail(path_, error);
  }
}

ReplacingFile::~ReplacingFile() {
  if (file_) Discard();
}

void ReplacingFile::Write(const std::string& text) {
  if (error_ != 0 || !file_) return;
  if (std::fwrite(text.data(), 1, text.size(), file_) != text.size()) error_ = errno ? errno : EIO;
}

void ReplacingFile::Commit() {
  int error = error_;
  if (error == 0 && std::fflush(file_) != 0) error = errno;
  // A regular file reaches the disk before it replaces the old one.
  if (error == 0 && writing_ != destination_ && ::fsync(::fileno(file_)) != 0) error = errno;
  std::FILE* file = std::exchange(file_, nullptr);
  if (std::fclose(file) != 0 && error == 0) error = errno;
  if (error == 0 && writing_ != destination_ &&
      std::rename(writing_.c_str(), destination_.c_str()) != 0) {
    error = errno;
  }
  if (error != 0) {
    if (writing_ != destination_) std::remove(writing_.c_str());
    Fail(path_, error);
  }
}

void ReplacingFile::Discard() {
  if (file_) std::fclose(std::exchange(file_, nullptr));
  if (writing_ != destination_) std::remove(writing_.c_str());
}

}  // namespace vobrix::results
