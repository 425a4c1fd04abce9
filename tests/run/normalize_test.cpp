// Normalization of the data texts: the stated examples and the refusals that change nothing.
#include "problem/normalize.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vobrix {
namespace {

std::vector<CellRow> Rows(int firstX, const std::vector<std::string>& ys) {
  std::vector<CellRow> rows;
  for (const auto& y : ys) rows.push_back({std::to_string(firstX++), y});
  return rows;
}

std::vector<std::string> Ys(const std::vector<CellRow>& rows) {
  std::vector<std::string> ys;
  for (const auto& row : rows) ys.push_back(row.y);
  return ys;
}

TEST(Normalize, UsesTheTrainingRangeForBothAndLeavesXAlone) {
  const auto training = Rows(0, {"10", "20", "30"});
  const auto validation = Rows(3, {"40"});
  const NormalizedData data = Normalize(training, validation);
  EXPECT_EQ(Ys(data.training), (std::vector<std::string>{"0", "0.5", "1"}));
  EXPECT_EQ(Ys(data.validation), (std::vector<std::string>{"1.5"}));
  EXPECT_EQ(data.training[2].x, "2");
  EXPECT_EQ(data.validation[0].x, "3");
  EXPECT_EQ(data.low, 10.0);
  EXPECT_EQ(data.high, 30.0);
}

TEST(Normalize, RangeStartsAtFiftyThousandAndZero) {
  // All negative: high stays 0.
  auto data = Normalize(Rows(0, {"-8", "-5", "-2"}), {});
  EXPECT_EQ(Ys(data.training), (std::vector<std::string>{"0", "0.375", "0.75"}));
  // All above 50000: low stays 50000.
  data = Normalize(Rows(0, {"60000", "70000"}), Rows(2, {"40000"}));
  EXPECT_EQ(Ys(data.training), (std::vector<std::string>{"0.5", "1"}));
  EXPECT_EQ(Ys(data.validation), (std::vector<std::string>{"-0.5"}));
}

TEST(Normalize, LongTextsAreShortenedBeforeTheDivision) {
  // (y - 0) is first written with 15 digits, 1.13436424411240, then divided by 3; dividing the
  // full 17-digit value would give ...134 instead.
  const auto data = Normalize(Rows(0, {"0", "3", "1.1343642441124011"}), {});
  EXPECT_EQ(data.training[2].y, "0.378121414704133");
}

TEST(Normalize, EmptyValidationGridIsLeftAsItIs) {
  const std::vector<CellRow> validation(100);
  const auto data = Normalize(Rows(0, {"1", "2"}), validation);
  EXPECT_EQ(data.validation.size(), 100u);
  EXPECT_EQ(data.validation[0].y, "");
}

TEST(Normalize, RefusesWithAMessageNamingTheRow) {
  const auto expectRefusal = [](const std::vector<CellRow>& training,
                                const std::vector<CellRow>& validation, const std::string& part) {
    try {
      Normalize(training, validation);
      ADD_FAILURE() << "accepted, expected: " << part;
    } catch (const NormalizationError& e) {
      EXPECT_NE(std::string(e.what()).find(part), std::string::npos) << e.what();
    }
  };
  expectRefusal(Rows(0, {"1", "x", "3"}), {}, "Training Data contains Invalid Value at row 2");
  expectRefusal(Rows(0, {"1", "2"}), Rows(2, {"3", ""}),
                "Validation Data contains Invalid Value at row 2");
  expectRefusal(Rows(0, {"0", "0", "0"}), {}, "high equals low");
  expectRefusal(Rows(0, {"50000", "50000"}), {}, "high equals low");
  expectRefusal(Rows(0, {"-1E308", "1E308"}), {}, "too wide");
  expectRefusal(Rows(0, {"0", "1E-300"}), Rows(2, {"1E300"}), "Validation Data row 1");
}

}  // namespace
}  // namespace vobrix
