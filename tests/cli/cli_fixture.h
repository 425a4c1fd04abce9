// The end-to-end tests' scaffolding: a scratch folder per test, and the built vobrix-cli run
// in it with its standard output and standard error caught.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/scratch.h"
#include "read_text.h"

namespace vobrix::cli::testing {

// The lines of a text, or the fields of a CSV row when split at ','.
inline std::vector<std::string> Split(const std::string& text, char separator = '\n') {
  std::vector<std::string> parts;
  std::istringstream in(text);
  for (std::string part; std::getline(in, part, separator);) parts.push_back(part);
  return parts;
}

struct Outcome {
  int status = -1;
  std::string out, err;
};

class CliFixture : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directories(dir_); }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  void Write(const std::string& name, const std::string& text) const {
    std::ofstream(dir_ / name, std::ios::binary) << text;
  }
  // The program with `args` (shell words), run in the scratch folder; its outputs are kept there
  // as stdout.txt and stderr.txt. `shell` runs first in the same shell (a resource limit, say).
  Outcome Run(const std::string& args, const std::string& shell = "") const {
    const std::string out = Path("stdout.txt"), err = Path("stderr.txt");
    const int raw =
        std::system((std::string("cd '") + dir_.string() + "' && " + shell + "'" + VOBRIX_CLI +
                     "' " + args + " >'" + out + "' 2>'" + err + "' </dev/null")
                        .c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadText(out), ReadText(err)};
  }

  const std::filesystem::path dir_ = vobrix::testing::ScratchPath(
      "vobrix_cli_" +
      std::string(::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name()) +
      "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
};

}  // namespace vobrix::cli::testing
