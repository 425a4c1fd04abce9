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

TEST(Normalize, StatedExamples) {
  struct Case {
    std::vector<std::string> training, validation, trainingOut, validationOut;
  };
  const Case cases[] = {
      {{"10", "20", "30"}, {"40"}, {"0", "0.5", "1"}, {"1.5"}},  // the training range for both
      {{"-8", "-5", "-2"}, {}, {"0", "0.375", "0.75"}, {}},      // all negative: high stays 0
      {{"60000", "70000"}, {"40000"}, {"0.5", "1"}, {"-0.5"}},   // low starts at 50000
      // (y - 0) is first written with 15 digits, 1.13436424411240, then divided by 3; the full
      // 17-digit value would give ...134.
      {{"0", "3", "1.1343642441124011"}, {}, {"0", "1", "0.378121414704133"}, {}}};
  for (const Case& c : cases) {
    const NormalizedData data = Normalize(Rows(0, c.training), Rows(7, c.validation));
    EXPECT_EQ(Ys(data.training), c.trainingOut);
    EXPECT_EQ(Ys(data.validation), c.validationOut);
    EXPECT_EQ(data.training[1].x, "1");  // X is left alone
  }
  const std::vector<CellRow> empty(100);  // an empty validation grid stays as it is
  EXPECT_EQ(Normalize(Rows(0, {"1", "2"}), empty).validation.size(), 100u);
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
