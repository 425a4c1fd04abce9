// A scratch path that belongs to this test process alone: ctest runs the cases of one suite
// side by side, and two builds may run the same suite at once.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace vobrix::testing {

inline std::filesystem::path ScratchPath(const std::string& name) {
  return std::filesystem::path(::testing::TempDir()) /
         (name + "_" + std::to_string(static_cast<long>(getpid())));
}

}  // namespace vobrix::testing
