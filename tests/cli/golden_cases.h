// The seeded runs of tests/golden/cases.txt, for the golden tests and the tests that compare
// other outputs with them.
#pragma once

#include <filesystem>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "read_text.h"

namespace vobrix::cli::testing {

inline const std::filesystem::path kGoldenDir = VOBRIX_GOLDEN_DIR;

struct GoldenCase {
  std::string name;
  std::vector<std::string> args;
};

// How test listings name a case.
inline void PrintTo(const GoldenCase& c, std::ostream* os) {
  *os << c.name;
}

// The cases of cases.txt, "@" replaced by the golden folder.
inline std::vector<GoldenCase> ReadCases() {
  std::vector<GoldenCase> cases;
  std::istringstream lines(ReadText(kGoldenDir / "cases.txt"));
  for (std::string line; std::getline(lines, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream words(line);
    GoldenCase c;
    words >> c.name;
    for (std::string word; words >> word;) {
      if (word[0] == '@') word = (kGoldenDir / word.substr(1)).string();
      c.args.push_back(word);
    }
    cases.push_back(c);
  }
  return cases;
}

}  // namespace vobrix::cli::testing
