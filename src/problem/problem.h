// Building the run's Problem from the window's settings and the training cell texts.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/functions.h"
#include "engine/problem_record.h"

namespace vobrix {

// The settings a problem is made from, as the window holds them.
struct ProblemSettings {
  std::array<bool, kFunctionTableSize> ticked{true, true, true, true};  // check-list order
  std::string windowSizeText = "5";
  std::string constantCountText = "1000";
  std::string lowerText = "-10";
  std::string upperText = "10";
};

// One row of a data grid: the X and Y cell texts.
struct CellRow {
  std::string x;
  std::string y;
};

// A setting under which no run can exist; names the field.
class ProblemError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The sizes and ranges a problem's settings give, read and checked without allocating
// anything, so that every size is judged before the memory it implies is taken.
struct ProblemShape {
  std::array<bool, kFunctionTableSize> ticked{};  // "+" alone when nothing was ticked
  bool functionForced = false;
  std::int32_t functionCount = 0;
  std::int32_t variableCount = 0;
  std::int32_t constantCount = 0;
  std::int32_t trainingCount = 0;
  float constantLower = 0.0f;
  float constantUpper = 0.0f;
};

// Converts and checks the settings for a training series of trainingRows rows: throws
// ConversionError and ProblemError as MakeProblem does, before MakeProblem allocates.
ProblemShape ReadProblemShape(const ProblemSettings& settings, std::size_t trainingRows);

// Bytes of the tables MakeProblem builds for this shape: the node table, the window, the
// constants and both training columns.
std::uint64_t ProblemBytes(const ProblemShape& shape);

struct ProblemBuild {
  std::unique_ptr<Problem> problem;
  bool functionForced = false;  // nothing was ticked: "+" was used ("You must use 1 function
                                // at least.")
};

// The range check of the window's page and of the command line: the lower end of the
// constants must lie below the upper end.
inline bool IsProperConstantRange(double lower, double upper) {
  return lower < upper;
}

// Fills problem.nodeTable in its three blocks: the ticked functions in check-list order, the
// variables X0 .. and the constants named by their symbols. The counts and the constants must
// be set.
void BuildNodeTable(Problem& problem, const std::array<bool, kFunctionTableSize>& ticked,
                    const FunctionTable& functions);

// Builds the problem. Throws ConversionError for a text that is not a number and
// ProblemError for a window size or constant count below 1, or a training series with no
// more rows than the window size.
ProblemBuild MakeProblem(const ProblemSettings& settings, const std::vector<CellRow>& training,
                         const FunctionTable& functions);

}  // namespace vobrix
