// A file written whole or not at all (by vobrix-cli and the window's save entries), so that a run
// that fails part-way never leaves a truncated file where an earlier one was.
#pragma once

#include <cstdio>
#include <stdexcept>
#include <string>

namespace vobrix::results {

// Why a file could not be written; what() names the file and the cause.
class WriteError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Text goes to a temporary file beside the target, which takes the target's place only at
// Commit; until then an existing target stays as it was, and a file destroyed without Commit
// removes its temporary. A target that exists and is not a regular file (a device such as
// /dev/null or /dev/full, a FIFO) cannot be replaced and is written directly.
class ReplacingFile {
 public:
  // Creates the temporary (or opens the device). Throws WriteError.
  explicit ReplacingFile(std::string path);
  ~ReplacingFile();
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  // Appends text. A failure is kept for Commit, so that writing may go on from code that
  // must not throw.
  void Write(const std::string& text);
  // Flushes, syncs and closes the file and moves it into place. Throws WriteError for the
  // first failure of any write, the flush, the close or the move; the temporary is then gone.
  void Commit();

 private:
  void Discard();

  std::string path_;         // the target as given, for messages
  std::string destination_;  // the file the temporary replaces (a link's target)
  std::string writing_;      // the temporary, or the target itself when written directly
  std::FILE* file_ = nullptr;
  int error_ = 0;  // errno of the first failed write
};

}  // namespace vobrix::results
