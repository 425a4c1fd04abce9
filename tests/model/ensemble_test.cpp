// Models with a clip, ensembles of members and differenced models: the file keeps them to the
// bit and names the field at fault, the predictor takes the members' median and clips it, also
// step by step, and a differenced model does so on the differences and adds the base.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "model/difference.h"
#include "model/export.h"
#include "model/model_json.h"
#include "model/predictor.h"
#include "nodes.h"

namespace vobrix::model {
namespace {

using test::C;
using test::F;
using test::Members;
using test::ModelErrorOf;
using test::X;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// y + 1, 2y, y: for y = 1 the values 2, 2, 1; for y = 3 the values 4, 6, 3.
Model ThreeMembers(std::optional<Clip> clip) {
  return Members({{F(kAdd), X(0), C(1.0)}, {F(kMultiply), X(0), C(2.0)}, {X(0)}}, clip);
}

TEST(EnsembleTest, MedianOfAnOddAndAnEvenCountWithNaNAboveEveryNumber) {
  const std::pair<std::vector<double>, double> cases[] = {
      {{5.0}, 5.0},
      {{3.0, 1.0, 2.0}, 2.0},
      {{4.0, 1.0, 3.0, 2.0}, 2.5},
      {{kNaN, 1.0, 7.0}, 7.0},
      {{-1.0, kNaN, kNaN, 10.0}, kNaN},
      {{1e308, 1e308}, std::numeric_limits<double>::infinity()},  // as (a + b) / 2 in C
  };
  for (auto [values, expected] : cases) {
    const double median = Median(values);
    EXPECT_TRUE(median == expected || (std::isnan(median) && std::isnan(expected))) << median;
  }
}

TEST(EnsembleTest, PredictorTakesTheMedianThenClipsAndFeedsTheClippedValueBack) {
  const std::vector<double> series{1.0, 3.0, 1.0};
  const SeriesPrediction free = Predictor(ThreeMembers(std::nullopt), 0).Predict(series);
  EXPECT_EQ(free.predictions, (std::vector<double>{2.0, 4.0}));
  const Predictor clipped(ThreeMembers(Clip{0.0, 3.0}), 0);
  const SeriesPrediction held = clipped.Predict(series);
  EXPECT_EQ(held.predictions, (std::vector<double>{2.0, 3.0}));
  EXPECT_EQ(held.mse, ((2.0 - 3.0) * (2.0 - 3.0) + (3.0 - 1.0) * (3.0 - 1.0)) / 2.0);
  // From 1: median 2; from 2: median(3, 4, 2) = 3; from 3: median 4, clipped to 3.
  EXPECT_EQ(clipped.Forecast({1.0}, 3), (std::vector<double>{2.0, 3.0, 3.0}));
  const double below = -5.0;
  EXPECT_EQ(clipped.PredictNext(&below), 0.0);

  Model single = ThreeMembers(Clip{-1.0, 2.5});
  single.ensemble.reset();
  single.populations = {{{F(kMultiply), X(0), C(2.0)}, 0.0, {}}};
  EXPECT_EQ(Predictor(single, 0).Predict({1.0, 2.0, -1.0, 0.0}).predictions,
            (std::vector<double>{2.0, 2.5, -1.0}));  // 2, 4 and -2 clipped
}

TEST(EnsembleTest, DifferencedModelPredictsTheDifferenceClipsItAndAddsTheBase) {
  // (1 - B)(1 - B^12) expands to 1 - B - B^12 + B^13; lags 1, 2, 3 leave B^3 out.
  EXPECT_EQ(DifferenceCoefficients({1, 12}, 1),
            (std::vector<double>{1, -1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, -1, 1}));
  EXPECT_EQ(DifferenceCoefficients({1, 2, 3}, 1), (std::vector<double>{1, -1, -1, 0, 1, 1, -1}));
  // (1 - B)(1 - (B^3 + B^6) / 2): the last lag against the mean of two seasons.
  EXPECT_EQ(DifferenceCoefficients({1, 3}, 2),
            (std::vector<double>{1, -1, 0, -0.5, 0.5, 0, -0.5, 0.5}));
  EXPECT_EQ(DifferenceSpan({1, 3}, 2), 7);
  const std::vector<double> y{1.0, 3.0, 6.0, 10.0};
  EXPECT_EQ(Differenced(y, DifferenceCoefficients({1}, 1)), (std::vector<double>{2.0, 3.0, 4.0}));
  EXPECT_EQ(Differenced(y, DifferenceCoefficients({1, 2}, 1)),
            (std::vector<double>{2.0}));  // 10 - 6 - 3 + 1

  // Each difference predicted by the one before it: 6 from 3 + 2, 10 from 6 + 3.
  Model m = Members({{X(0)}}, std::nullopt);
  m.difference = {1};
  const Predictor free(m, 0);
  EXPECT_EQ(free.windowSize(), 2);
  const SeriesPrediction p = free.Predict(y);
  EXPECT_EQ(p.predictions, (std::vector<double>{5.0, 9.0}));
  EXPECT_EQ(p.mse, 1.0);
  // Recursively: differences 4 then 14 - 10 = 4 again; with the clip on the differences, 3.5.
  EXPECT_EQ(free.Forecast(y, 2), (std::vector<double>{14.0, 18.0}));
  m.clip = Clip{-1.0, 3.5};
  EXPECT_EQ(Predictor(m, 0).Forecast(y, 2), (std::vector<double>{13.5, 17.0}));
  EXPECT_EQ(ModelFromJson(ModelToJson(m)), m);
  EXPECT_THROW(Predictor(m, 0).Predict({1.0, 2.0}), ModelError);  // no value after 2 inputs
  EXPECT_NE(ModelToJson(m).find("\"version\": 1,"), std::string::npos);

  // Lag 2 against the mean of two seasons: z[t] = y[t] - (y[t - 2] + y[t - 4]) / 2, and X0 the
  // latest z.
  Model seasonal = Members({{X(0)}}, std::nullopt);
  seasonal.difference = {2};
  seasonal.differenceSeasons = 2;
  const std::vector<double> squares{1.0, 4.0, 9.0, 16.0, 25.0, 36.0};
  // z[4] = 25 - (9 + 1) / 2 = 20 and z[5] = 36 - (16 + 4) / 2 = 26; 36 is predicted as its
  // base 10 plus z[4].
  EXPECT_EQ(Predictor(seasonal, 0).Predict(squares).predictions, std::vector<double>{30.0});
  EXPECT_EQ(ModelFromJson(ModelToJson(seasonal)), seasonal);
  EXPECT_NE(ModelToJson(seasonal).find("\"version\": 2,"), std::string::npos);
}

TEST(EnsembleTest, DifferenceWithinTheRoundingOfDecimalDataIsZero) {
  // 42.9 - 44.1 - 44.1 + 45.3 is 0 in decimals and -7.1e-15 in binary; 1 / X0 then gives the
  // protected division's 1, not a pole of -1.4e14, and the prediction is the base 42.9 plus 1.
  const std::vector<double> c = DifferenceCoefficients({1, 2}, 1);
  const std::vector<double> cancelling{45.3, 44.1, 44.1, 42.9};
  EXPECT_EQ(Differenced(cancelling, c), std::vector<double>{0.0});
  Model inverse = Members({{F(kDivide), C(1.0), X(0)}}, std::nullopt);
  inverse.difference = {1, 2};
  EXPECT_NEAR(Predictor(inverse, 0).PredictNext(cancelling.data()), 43.9, 1e-12);
  // A difference of a millionth of a millionth is more than rounding, and stays.
  const std::vector<double> apart{45.3, 44.1, 44.1, 42.9 + 1e-12};
  EXPECT_NEAR(Differenced(apart, c)[0], 1e-12, 1e-13);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_TRUE(std::isnan(Differenced({45.3, 44.1, nan, 42.9}, c)[0]));
}

TEST(EnsembleTest, FileKeepsMembersClipAndShardToTheBit) {
  Model m = ThreeMembers(Clip{-0.0, 0.30000000000000004});
  m.seed = 7;
  m.settings = {{"--runs", "3"}};
  EXPECT_EQ(ModelFromJson(ModelToJson(m)), m);
  m.ensemble->shard = Shard{2, 2};
  m.ensemble->members = {m.ensemble->members[1]};
  EXPECT_EQ(ModelFromJson(ModelToJson(m)), m);
  EXPECT_THROW(Predictor(m, 0), ModelError);  // one part alone predicts nothing
  EXPECT_NE(ExportText(ThreeMembers(Clip{0.0, 3.0}), 0).find("y = median(P1 .. P3), held to "),
            std::string::npos);
}

// Three members clipped to [0, 3] reading the latest value, and one member that extrapolates
// the latest difference (2 y[t-1] - y[t-2]) reading two: their mean.
Model TwoParts() {
  Model b = Members({{X(0)}}, std::nullopt);
  b.difference = {1};
  Model whole;
  whole.functions = b.functions;
  whole.parts = {ThreeMembers(Clip{0.0, 3.0}), b};
  return whole;
}

TEST(EnsembleTest, AModelOfPartsPredictsTheirMeanEachFromItsOwnLatestValues) {
  const Model whole = TwoParts();
  EXPECT_EQ(InputCount(whole), 2);
  const Predictor predictor(whole, 0);
  // At y[2]: (median 4 clipped to 3, 2 * 3 - 1) / 2; at y[3]: (2, 2 * 1 - 3) / 2.
  const SeriesPrediction p = predictor.Predict({1.0, 3.0, 1.0, 2.0});
  EXPECT_EQ(p.predictions, (std::vector<double>{4.0, 0.5}));
  EXPECT_EQ(p.mse, (9.0 + 2.25) / 2.0);
  // Fed back: from 3, 1 the mean of 2 and -1; from 1, 0.5 the mean of 1 and 0.
  EXPECT_EQ(predictor.Forecast({7.0, 3.0, 1.0}, 2), (std::vector<double>{0.5, 0.5}));
  const std::string text = ModelToJson(whole);
  EXPECT_NE(text.find("\"version\": 3"), std::string::npos);
  EXPECT_EQ(ModelFromJson(text), whole);
  EXPECT_THROW(ChoosePopulation(whole, 0), ModelError);

  using M = Model&;
  const struct {
    void (*change)(Model&);
    const char* message;
  } cases[] = {
      {[](M m) { m.windowSize = 1; }, "parts: a model of parts has no window"},
      {[](M m) {
         m.clip = Clip{0.0, 1.0};
       },
       "parts: a model of parts has no window"},
      {[](M m) { m.parts.resize(1); }, "parts: must hold 2 to 8 parts"},
      {[](M m) { m.parts[1].seed = 3; }, "parts[1]: must have the model's functions and seed"},
      {[](M m) {
         m.parts[0].parts = {m.parts[1], m.parts[1]};
       },
       "parts[0].parts: a part has no"},
      {[](M m) { m.parts[1].ensemble.reset(); }, "parts[1]: must be an ensemble"},
      {[](M m) {
         m.parts[0].clip = Clip{2.0, 1.0};
       },
       "parts[0].clip.high: must be from low up"},
  };
  for (const auto& c : cases) {
    Model m = TwoParts();
    c.change(m);
    const std::string error = ModelErrorOf([&] { ValidateModel(m); });
    EXPECT_EQ(error.rfind(c.message, 0), 0u) << error;
  }
  std::string hostile = text;
  hostile.replace(hostile.find("\"windowSize\": 1"), 15, "\"windowSize\": 0");
  EXPECT_EQ(ModelErrorOf([&] { ModelFromJson(hostile); }).rfind("parts[0].windowSize: must", 0),
            0u);
}

TEST(EnsembleTest, ModelsThatCannotBeGiveOneErrorNamingTheField) {
  using M = Model&;
  const struct {
    void (*change)(Model&);
    const char* message;
  } cases[] = {
      {[](M m) { m.clip = Clip(2.0, 1.0); }, "clip.high: must be from low up"},
      {[](M m) { m.clip->low = kNaN; }, "clip.low: must be a finite number"},
      {[](M m) { m.normalization.emplace(); }, "clip: a clipped model"},
      {[](M m) { m.populations.resize(1); }, "populations: must be empty"},
      {[](M m) { m.ensemble->runs = 4; }, "ensemble.members: must hold 4 member(s)"},
      {[](M m) { m.ensemble->members[1].number = 3; }, "ensemble.members[1].member: must be 2"},
      {[](M m) { m.ensemble->members[2].generation = -1; },
       "ensemble.members[2].generation: must be from 0 up"},
      {[](M m) { m.ensemble->members[0].program.pop_back(); },
       "ensemble.members[0].program: the expression is incomplete"},
      {[](M m) { m.ensemble->members[0].holdoutMse = -1.0; },
       "ensemble.members[0].holdoutMse: must be a number from 0 up"},
      {[](M m) { m.ensemble->shard = Shard(3, 2); }, "ensemble.shard.index: must be from 1"},
      {[](M m) { m.ensemble->shard = Shard(1, 4); }, "ensemble.shard.count: must be from 1"},
      {[](M m) { m.ensemble->shard = Shard(1, 2); }, "ensemble.members: must hold 2 member(s)"},
      {[](M m) {
         m.difference = {12, 1};
       },
       "difference[1]: must be an integer from 13 to 1000, the lags ascending"},
      {[](M m) { m.difference = {0}; }, "difference[0]: must be an integer from 1 to 1000"},
      {[](M m) { m.difference.resize(4, 1); }, "difference: at most 3 lags"},
      {[](M m) {
         m.difference = {1};
         m.differenceSeasons = 2;
       },
       "differenceSeasons: must be an integer from 1 to 100, above 1 only with a largest"},
      {[](M m) {
         m.difference = {12};
         m.differenceSeasons = 0;
       },
       "differenceSeasons: must be"},
  };
  for (const auto& c : cases) {
    Model m = ThreeMembers(Clip{0.0, 1.0});
    c.change(m);
    const std::string error = ModelErrorOf([&] { ValidateModel(m); });
    EXPECT_EQ(error.rfind(c.message, 0), 0u) << error;
  }
  std::string text = ModelToJson(ThreeMembers(Clip{0.0, 1.0}));
  text.replace(text.find("\"low\": \"0\""), 10, "\"low\": \"abc\"");
  EXPECT_EQ(ModelErrorOf([&] { ModelFromJson(text); }),
            "clip.low: \"abc\" is not a number within the double range");
}

}  // namespace
}  // namespace vobrix::model
