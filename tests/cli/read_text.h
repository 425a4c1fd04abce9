// The whole contents of a file, for the command-line tests.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace vobrix::cli::testing {

inline std::string ReadText(const std::filesystem::path& path) {
  std::stringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

}  // namespace vobrix::cli::testing
