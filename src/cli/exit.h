// How vobrix-cli ends on an error: one line on standard error and an exit status, 2 for bad
// usage or bad input, 1 for a memory allocation failure. Thrown anywhere below main, caught there.
#pragma once

#include <string>
#include <utility>

namespace vobrix::cli {

inline constexpr int kExitBadInput = 2;
inline constexpr int kExitMemory = 1;

// Ends the program with one line on standard error.
class Exit {
 public:
  Exit(int status, std::string message) : status_(status), message_(std::move(message)) {}
  int status() const { return status_; }
  const std::string& message() const { return message_; }

 private:
  int status_;
  std::string message_;
};

[[noreturn]] inline void Fail(const std::string& message) {
  throw Exit(kExitBadInput, message);
}
[[noreturn]] inline void FailMemory() {
  throw Exit(kExitMemory, "Memory Allocation Error");
}

}  // namespace vobrix::cli
