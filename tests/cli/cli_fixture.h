// The command-line tests' scaffolding: reading files, the seeded runs of tests/golden/cases.txt,
// and a scratch folder per test in which the built vobrix-cli runs with its outputs caught.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/error_text.h"
#include "common/scratch.h"

namespace vobrix::cli::testing {

namespace fs = std::filesystem;

inline std::string ReadText(const fs::path& path) {
  std::stringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

// The lines of a text, or the fields of a CSV row when split at ','.
inline std::vector<std::string> Split(const std::string& text, char separator = '\n') {
  std::vector<std::string> parts;
  std::istringstream in(text);
  for (std::string part; std::getline(in, part, separator);) parts.push_back(part);
  return parts;
}

inline const fs::path kGoldenDir = VOBRIX_GOLDEN_DIR;

struct GoldenCase {
  std::string name;
  std::vector<std::string> args;
};
inline void PrintTo(const GoldenCase& c, std::ostream* os) {
  *os << c.name;
}

// The cases of cases.txt, "@" replaced by the golden folder.
inline std::vector<GoldenCase> ReadCases() {
  std::vector<GoldenCase> cases;
  for (const std::string& line : Split(ReadText(kGoldenDir / "cases.txt"))) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream words(line);
    GoldenCase c;
    words >> c.name;
    for (std::string word; words >> word;) {
      c.args.push_back(word[0] == '@' ? (kGoldenDir / word.substr(1)).string() : word);
    }
    cases.push_back(c);
  }
  return cases;
}

// The words as shell words, each after a blank.
inline std::string Quoted(const std::vector<std::string>& words) {
  std::string text;
  for (const std::string& word : words) text += " '" + word + "'";
  return text;
}

// What the refusal of `f` (an Error) says, or "accepted".
template <class Error, class F>
std::string Refusal(F f) {
  return vobrix::testing::ErrorText<Error>(f, "accepted");
}

struct Outcome {
  int status = -1;
  std::string out, err;
};

// A refusal: status 2, one line on standard error that names `part`, nothing on standard
// output (unless `output` says the refusal may come after it).
inline void ExpectRefused(const Outcome& o, const std::string& part, const std::string& args,
                          bool output = false) {
  EXPECT_EQ(o.status, 2) << args << "\n" << o.err;
  EXPECT_EQ(Split(o.err).size(), 1u) << args << "\n" << o.err;
  EXPECT_EQ(o.err.rfind("vobrix-cli: ", 0), 0u) << o.err;
  EXPECT_NE(o.err.find(part), std::string::npos) << args << "\n" << o.err;
  EXPECT_EQ(o.out.empty(), !output) << args;
}

// Over ::testing::Test, or over ::testing::TestWithParam for a table of runs.
template <class Base = ::testing::Test>
class CliFixtureOf : public Base {
 protected:
  void SetUp() override { fs::create_directories(dir_); }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  std::string Read(const std::string& name) const { return ReadText(dir_ / name); }
  void Write(const std::string& name, const std::string& text) const {
    std::ofstream(dir_ / name, std::ios::binary) << text;
  }
  // The names in the scratch folder, sorted.
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
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

  static std::string TestName() {
    const ::testing::TestInfo& test = *::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(test.test_suite_name()) + "_" + test.name();
    std::replace(name.begin(), name.end(), '/', '_');
    return name;
  }
  const fs::path dir_ = vobrix::testing::ScratchPath("vobrix_cli_" + TestName());
};
using CliFixture = CliFixtureOf<>;

// A sine with four decimals (kept as they are by the data-file reader): train.txt holds x from
// 0 to 59, valid.txt from 60 to 69, joined.txt both.
class SineFixture : public CliFixture {
 protected:
  void SetUp() override {
    CliFixture::SetUp();
    std::string train, valid;
    for (int x = 0; x < 70; ++x) {
      char line[64];
      std::snprintf(line, sizeof line, "%d\t%.4f\n", x, 5 + 3 * std::sin(0.3 * x));
      (x < 60 ? train : valid) += line;
    }
    Write("train.txt", train);
    Write("valid.txt", valid);
    Write("joined.txt", train + valid);
  }
};

}  // namespace vobrix::cli::testing
