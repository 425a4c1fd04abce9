// The forecast's plan (candidate windows, clip, inner split, seeds) and merging shards' parts.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <tuple>

#include "forecast/baselines.h"
#include "forecast/ensemble.h"
#include "forecast/plan.h"
#include "model/export.h"
#include "model/model_json.h"
#include "model/predictor.h"

namespace vobrix::forecast {
namespace {

// n rows of X = 0, 1, ... and the given Y.
std::vector<CellRow> Rows(int n, const std::function<double(int)>& y) {
  std::vector<CellRow> rows;
  for (int i = 0; i < n; ++i) rows.push_back({std::to_string(i), std::to_string(y(i))});
  return rows;
}

// A quick forecast of one ensemble: members of the smallest work the budget gives.
ForecastSettings Quick(std::uint32_t seed, std::int32_t runs) {
  ForecastSettings settings;
  settings.seed = seed;
  settings.runs = runs;
  settings.budgetSeconds = 0.01;
  settings.combine = false;
  return settings;
}

TEST(ForecastPlan, CandidatesAreTheArOrderItsNeighboursAndSmallWindowsOrFromTheSeasonUp) {
  const struct {
    std::int32_t arOrder;
    std::size_t values;
    std::vector<std::int32_t> lags;
    std::vector<std::int32_t> windows;
  } cases[] = {
      {16, 200, {}, {1, 2, 3, 15, 16, 17}},
      {1, 200, {}, {1, 2, 3}},
      {4, 200, {1}, {1, 2, 3, 4, 5}},
      {30, 1000, {}, {1, 2, 3, 23, 24}},  // never beyond 24
      {12, 60, {}, {1, 2, 3, 11, 12}},    // never beyond n / 5
      {5, 10, {}, {1, 2}},
      // A season's lag, the one after it and nothing shorter.
      {1, 200, {12}, {12, 13}},
      {16, 200, {12}, {12, 13, 15, 16, 17}},
      {2, 200, {1, 4}, {4, 5}},
      {1, 65, {1, 12}, {12, 13}},
      {1, 64, {1, 12}, {12}},
      {1, 50, {12}, {10}},  // a season beyond the limit leaves the limit
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CandidateWindows(c.arOrder, c.values, c.lags, 1), c.windows)
        << c.arOrder << " " << c.values << " " << c.lags.size();
  }
  // Against the mean of several seasons, the windows of a series without one.
  EXPECT_EQ(CandidateWindows(16, 200, {1, 12}, 5),
            (std::vector<std::int32_t>{1, 2, 3, 15, 16, 17}));
}

// The work is budget x 8e7 row evaluations: three quarters shared by the members, a quarter by
// the candidate windows. Each plan reads "population x generations" of members, then of windows.
TEST(ForecastPlan, SpareWorkGrowsTheMembersPopulationBeforeItCutsTheirGenerations) {
  const std::tuple<double, std::int32_t, std::size_t, std::size_t, std::string> cases[] = {
      // A short series: the largest population, at the most generations.
      {20.0, 10, 120, 6, "2000 x 500, 300 x 200"},
      {20.0, 10, 154, 6, "1558 x 500, 300 x 200"},
      // A long one: the smallest population, with fewer generations.
      {20.0, 10, 800, 6, "500 x 300, 300 x 200"},
      // The least work: the lower bounds.
      {0.01, 3, 40, 3, "500 x 10, 300 x 5"},
  };
  for (const auto& [budget, runs, targets, candidates, expected] : cases) {
    ForecastSettings settings;
    settings.budgetSeconds = budget;
    settings.runs = runs;
    const WorkPlan plan = PlanWork(settings, targets, candidates);
    EXPECT_EQ(plan.member.populationSize + " x " + plan.member.generations + ", " +
                  plan.search.populationSize + " x " + plan.search.generations,
              expected)
        << targets << " targets";
  }
}

TEST(ForecastPlan, ClipWidensTheTrainingRangeByATenthOnEachSide) {
  EXPECT_EQ(ClipOfTraining({3.0, -2.0, 8.0, 0.0}, 0.1), (model::Clip{-3.0, 9.0}));
  EXPECT_EQ(ClipOfTraining({4.0, 4.0}, 0.1), (model::Clip{4.0, 4.0}));
}

TEST(ForecastPlan, InnerHoldOutIsTheLastFifthOfTheTrainingData) {
  std::vector<CellRow> rows = Rows(12, [](int i) { return i * 0.5; });
  const InnerSplit split = SplitTraining(rows);
  EXPECT_EQ(split.innerRows, 10u);  // 12 - 12 / 5
  EXPECT_EQ(split.innerTraining.size(), 10u);
  EXPECT_EQ(split.training.back(), 5.5);
  rows.resize(9);
  EXPECT_THROW(SplitTraining(rows), ForecastError);
}

TEST(ForecastPlan, StreamsGiveDistinctSeedsThatFollowTheForecastsSeed) {
  std::set<std::uint32_t> seeds;
  for (std::uint32_t stream = 1; stream <= 1000; ++stream) seeds.insert(StreamSeed(42, stream));
  for (std::uint32_t w = 1; w <= 24; ++w) seeds.insert(StreamSeed(42, kWindowStreams + w));
  EXPECT_EQ(seeds.size(), 1024u);
  EXPECT_NE(StreamSeed(42, 1), StreamSeed(43, 1));
}

// A forecast's model of five members, cut into the parts of three shards.
model::Model Whole() {
  model::Model m;
  m.windowSize = 2;
  m.functions = {kAdd, kMultiply};
  m.clip = model::Clip{0.0, 1.0};
  m.seed = 5;
  m.settings = {{"--runs", "5"}};
  m.ensemble = model::Ensemble{5, {}, {}};
  for (std::int32_t n = 1; n <= 5; ++n) {
    model::MemberModel member;
    member.number = n;
    member.seed = 100u + static_cast<std::uint32_t>(n);
    member.program = {{model::ModelNode::Kind::Variable, n % 2, 0.0}};
    m.ensemble->members.push_back(member);
  }
  return m;
}

model::Model Part(const model::Model& whole, std::int32_t index, std::int32_t count) {
  model::Model part = whole;
  part.ensemble->shard = model::Shard{index, count};
  part.ensemble->members.clear();
  for (const model::MemberModel& member : whole.ensemble->members) {
    if ((member.number - 1) % count == index - 1) part.ensemble->members.push_back(member);
  }
  model::ValidateModel(part);
  return part;
}

TEST(ForecastMerge, PartsInAnyOrderGiveTheWholeAndAnythingElseIsNamed) {
  const model::Model whole = Whole();
  const model::Model p1 = Part(whole, 1, 3), p2 = Part(whole, 2, 3), p3 = Part(whole, 3, 3);
  EXPECT_EQ(MergeParts({p3, p1, p2}), whole);
  EXPECT_EQ(MergeParts({Part(whole, 1, 1)}), whole);
  model::Model otherSeed = p2;
  otherSeed.seed = 6;
  model::Model otherClip = p2;
  otherClip.clip->high = 2.0;
  const struct {
    std::vector<model::Model> parts;
    std::string message;
  } cases[] = {
      {{}, "no parts to merge"},
      {{p1, p3}, "shard 2/3 is missing"},
      {{p1, p2, p2, p3}, "part 3: shard 2/3 is given twice"},
      {{p1, otherSeed, p3}, "part 2 comes from a different forecast"},
      {{p1, otherClip, p3}, "part 2 comes from a different forecast"},
      {{p1, Part(whole, 2, 2)}, "part 2 is shard 2/2, part 1 is of 3 shards"},
      {{p1, whole}, "part 2 is not a shard's part"},
  };
  for (const auto& c : cases) {
    try {
      MergeParts(c.parts);
      ADD_FAILURE() << "merged: " << c.message;
    } catch (const ForecastError& e) {
      EXPECT_EQ(std::string(e.what()).rfind(c.message, 0), 0u) << e.what();
    }
  }
}

// Noise in [-0.5, 0.5), the same on every platform: value i of the Mersenne twister.
double Noise(int i) {
  static const std::vector<double> values = [] {
    std::mt19937 generator(5489u);
    std::vector<double> v(1000);
    for (double& x : v) x = static_cast<double>(generator()) / 4294967296.0 - 0.5;
    return v;
  }();
  return values.at(static_cast<std::size_t>(i));
}

TEST(ForecastDifference, SeasonIsTheShortestStrongPeriodAndNoneInNoiseOrALine) {
  std::vector<double> monthly, weekly, noise, line;
  for (int t = 0; t < 400; ++t) {
    // A two-year swing beside the year's season: the differences correlate a little more at
    // 24 than at 12.
    monthly.push_back(0.2 * t + 10.0 * std::sin(2.0 * M_PI * t / 12.0) +
                      4.0 * std::sin(2.0 * M_PI * t / 24.0) + Noise(t));
  }
  for (int t = 0; t < 120; ++t) {
    weekly.push_back(5.0 * std::cos(2.0 * M_PI * t / 7.0) + Noise(t));
    noise.push_back(Noise(t));
    line.push_back(3.0 * t);
  }
  EXPECT_EQ(SeasonOf(monthly), 12);  // the shortest within a tenth of the strongest
  EXPECT_EQ(SeasonOf(weekly), 7);
  EXPECT_EQ(SeasonOf(noise), 0);
  EXPECT_EQ(SeasonOf(line), 0);  // differences without variance
}

// A trend that leaves the range of the inner training values is differenced at lag 1, a
// season on a trend at 12 (with or without 1), a series that stays around its level not at all.
// Near a unit root, differencing at lag 1 scores a hair better on the hold-out; so small a gain
// is chance on 30 values, and that series is left as it is too.
TEST(ForecastDifference, ChoiceTakesOutWhatTheHoldOutShowsAndOnlyThat) {
  std::vector<double> walk, seasonal, level, nearUnit;
  double v = 0.0, a = 0.0, u = 0.0;
  for (int t = 0; t < 150; ++t) {
    v += 0.02 * t + Noise(t);  // a steepening trend, past anything an AR of levels saw
    walk.push_back(v);
    seasonal.push_back(0.5 * t + 20.0 * std::sin(2.0 * M_PI * t / 12.0) + Noise(t));
    a = 0.5 * a + Noise(t);
    level.push_back(a);
    u = 0.99 * u + Noise(t + 200);
    nearUnit.push_back(u);
  }
  const std::size_t inner = 120;
  EXPECT_EQ(ChooseDifference(walk, inner).lags, (std::vector<std::int32_t>{1}));
  const DifferenceChoice s = ChooseDifference(seasonal, inner);
  EXPECT_EQ(s.season, 12);
  // The plain season wins first; then 12 against the mean of 2 .. 5 seasons and 1, 12 against
  // 2 .. 4, the most that leave half of the 120 inner values, and the mean of 5 takes out the
  // most noise.
  ASSERT_EQ(s.scores.size(), 11u);
  EXPECT_EQ(s.scores.back().seasons, 5);
  EXPECT_EQ(s.lags, std::vector<std::int32_t>{12});
  EXPECT_EQ(s.seasons, 5);
  // The other way to treat the season: dropped from the chosen lags, or, where they leave it
  // in, added against the mean of the seasons that score best; nothing without a season.
  EXPECT_EQ(OtherSeasonTreatment(s, seasonal, inner)->lags, std::vector<std::int32_t>{});
  DifferenceChoice left = s;
  left.lags = {};
  left.seasons = 1;
  const std::optional<DifferenceScore> added = OtherSeasonTreatment(left, seasonal, inner);
  EXPECT_EQ(added->lags, std::vector<std::int32_t>{12});
  EXPECT_EQ(added->seasons, 5);
  left.lags = {1};
  EXPECT_EQ(OtherSeasonTreatment(left, seasonal, inner)->lags, (std::vector<std::int32_t>{1, 12}));
  EXPECT_FALSE(OtherSeasonTreatment(ChooseDifference(level, inner), level, inner));
  // A cycle of 12.3 steps looks like a season of 12, but earlier cycles drift out of phase and
  // their mean does not show on the hold-out: no other way.
  std::vector<double> cycle;
  for (int t = 0; t < 150; ++t) cycle.push_back(10.0 * std::sin(2.0 * M_PI * t / 12.3) + Noise(t));
  const DifferenceChoice drift = ChooseDifference(cycle, inner);
  EXPECT_EQ(drift.season, 12);
  EXPECT_EQ(drift.lags, std::vector<std::int32_t>{});
  EXPECT_FALSE(OtherSeasonTreatment(drift, cycle, inner));
  // Each month a random walk of its own: last year's value is the best guess, and stays.
  std::vector<double> drifting;
  for (int t = 0; t < 150; ++t) {
    drifting.push_back(t < 12 ? 10.0 * std::sin(2.0 * M_PI * t / 12.0)
                              : drifting[static_cast<std::size_t>(t - 12)] + 3.0 * Noise(t));
  }
  const DifferenceChoice d = ChooseDifference(drifting, inner);
  EXPECT_EQ(d.lags, std::vector<std::int32_t>{12});
  EXPECT_EQ(d.seasons, 1);
  EXPECT_EQ(d.scores.size(), 11u);
  EXPECT_EQ(ChooseDifference(level, inner).lags, std::vector<std::int32_t>{});
  const DifferenceChoice c = ChooseDifference(nearUnit, inner);
  ASSERT_EQ(c.scores.size(), 2u);
  EXPECT_LT(c.scores[1].holdoutMse, c.scores[0].holdoutMse);
  EXPECT_GT(c.scores[1].holdoutMse, 0.95 * c.scores[0].holdoutMse);
  EXPECT_EQ(c.lags, std::vector<std::int32_t>{});
  // A season of 3 in 10 inner values leaves too few for a fit after lags 3 or 1 and 3.
  std::vector<double> short3;
  for (int t = 0; t < 13; ++t) short3.push_back(std::array{0.0, 5.0, -5.0}[t % 3] + 0.1 * t);
  const DifferenceChoice few = ChooseDifference(short3, 10);
  EXPECT_EQ(few.season, 3);
  EXPECT_EQ(few.scores.size(), 2u);
}

// Each member keeps the best program of the generation with the lowest hold-out error; its
// errors are those of that program on the differenced series (the trend makes the forecast
// difference it), recomputed here.
TEST(ForecastRun, MembersKeepTheirHoldOutErrorsAndTheWindowIsTheBestCandidate) {
  const std::vector<CellRow> rows = Rows(60, [](int i) { return (i * 37) % 11 + 0.25 * i; });
  const ForecastSettings settings = Quick(3, 2);
  const Forecast f = RunForecast(rows, settings, 2);
  ASSERT_FALSE(f.model.difference.empty());
  EXPECT_EQ(f.model.difference, f.difference.lags);
  const InnerSplit split = SplitTraining(DifferencedRows(
      rows, SplitTraining(rows).training, f.model.difference, f.model.differenceSeasons));
  const auto best = std::min_element(
      f.windows.scores.begin(), f.windows.scores.end(),
      [](const WindowScore& a, const WindowScore& b) { return a.holdoutMse < b.holdoutMse; });
  EXPECT_EQ(f.model.windowSize, best->window);
  for (const model::MemberModel& member : f.model.ensemble->members) {
    const model::Model program =
        ProgramModel(f.model.windowSize, member.program, *f.model.clip, member.scaling);
    EXPECT_EQ(member.holdoutMse, ProgramError(program, split.training, split.innerRows));
    EXPECT_EQ(member.trainingMse,
              ProgramError(program, split.training, static_cast<std::size_t>(f.model.windowSize)));
    // The differenced series repeats itself, so both members fit the hold-out exactly from the
    // first generation on; every later generation ties, and the first is kept.
    EXPECT_EQ(member.holdoutMse, 0.0);
    EXPECT_EQ(member.generation, 0);
  }
  EXPECT_EQ(RunForecast(rows, settings, 1).model, f.model);
}

// A steady season in noise is taken against the mean of five seasons (as the choice above
// finds); the model carries that mean, and its windows are those of a series without a season.
TEST(ForecastRun, AMeanOfSeasonsIsInTheModelAndLeavesTheWindowsFree) {
  const std::vector<CellRow> rows =
      Rows(150, [](int t) { return 0.5 * t + 20.0 * std::sin(2.0 * M_PI * t / 12.0) + Noise(t); });
  const Forecast f = RunForecast(rows, Quick(2, 1), 2);
  EXPECT_EQ(f.model.difference, std::vector<std::int32_t>{12});
  EXPECT_EQ(f.model.differenceSeasons, 5);
  std::vector<std::int32_t> windows;
  for (const WindowScore& score : f.windows.scores) windows.push_back(score.window);
  EXPECT_EQ(windows, CandidateWindows(f.windows.arOrder, 150 - 60, {}, 1));
}

// A seasonal series is forecast both ways its season can be treated, each way on half the
// budget: the first part is the forecast made alone on that half, the second leaves the season
// to the formulas. Sharded and merged, or on one thread, it is the same model; with given lags
// it is one ensemble.
TEST(ForecastRun, ASeasonIsForecastBothWaysAndTheModelIsTheirMean) {
  const std::vector<CellRow> rows =
      Rows(150, [](int t) { return 0.5 * t + 20.0 * std::sin(2.0 * M_PI * t / 12.0) + Noise(t); });
  ForecastSettings settings = Quick(2, 2);
  settings.budgetSeconds = 0.04;
  settings.combine = true;
  const Forecast f = RunForecast(rows, settings, 2);
  ASSERT_EQ(f.model.parts.size(), 2u);
  ForecastSettings half = Quick(2, 2);
  half.budgetSeconds = 0.02;
  model::Model alone = RunForecast(rows, half, 2).model;
  half.budgetSeconds = 0.04;
  EXPECT_NE(alone.settings.at("--generations"),
            RunForecast(rows, half, 2).model.settings.at("--generations"));
  alone.settings.erase("--no-combine");
  alone.settings["--budget"] = model::ExactText(0.04);
  EXPECT_EQ(f.model.parts[0], alone);
  EXPECT_EQ(model::ModelFromJson(model::ModelToJson(f.model)), f.model);
  EXPECT_EQ(f.model.parts[1].difference, std::vector<std::int32_t>{});
  EXPECT_EQ(f.partWindows.at(1).window, f.model.parts[1].windowSize);
  EXPECT_NE(f.model.parts[0].ensemble->members[0].seed, f.model.parts[1].ensemble->members[0].seed);

  std::vector<model::Model> shards;
  for (std::int32_t i : {2, 1})
    shards.push_back(RunForecast(rows, settings, 1, model::Shard{i, 2}).model);
  EXPECT_EQ(MergeParts(shards), f.model);
  const model::Model single = RunForecast(rows, half, 1, model::Shard{2, 2}).model;
  EXPECT_THROW(MergeParts({shards[1], single}), ForecastError);
  settings.difference = std::vector<std::int32_t>{12};
  EXPECT_TRUE(RunForecast(rows, settings, 2).model.parts.empty());
}

// A run fits a and b on its inner rows, which leave out the latest values; a member's are
// fitted again on every training target. Here y[t] = 1 + 2 y[t - 1] exactly, so with the
// latest value as the program the refit finds 1 and 2 whatever the run found; without linear
// scaling there is nothing to refit, and a program that overflows keeps the run's scaling.
TEST(ForecastRun, MembersScalingIsFittedAgainOnEveryTrainingTarget) {
  std::vector<double> series{0.5};
  for (int t = 1; t < 12; ++t) series.push_back(1.0 + 2.0 * series.back());
  const std::vector<model::ModelNode> latest{{model::ModelNode::Kind::Variable, 0, 0.0}};
  const LinearScaling run{-3.0, 0.5};
  const std::optional<LinearScaling> refit = RefittedScaling(1, latest, run, series);
  ASSERT_TRUE(refit.has_value());
  EXPECT_NEAR(refit->a, 1.0, 1e-9);
  EXPECT_NEAR(refit->b, 2.0, 1e-12);
  EXPECT_FALSE(RefittedScaling(1, latest, std::nullopt, series).has_value());
  series[5] = 1e300;  // the square of the next value's window overflows
  const std::vector<model::ModelNode> square{
      {model::ModelNode::Kind::Function, kMultiply, 0.0}, latest[0], latest[0]};
  EXPECT_EQ(RefittedScaling(1, square, run, series), run);

  // In a forecast the members' scaling is that refit on all the training values: on a series
  // whose level rises in the hold-out it is not the one the hold-out error was scored with.
  const std::vector<CellRow> rows =
      Rows(50, [](int i) { return (i * 37) % 11 + (i >= 40 ? 20.0 : 0.0); });
  ForecastSettings settings = Quick(5, 2);
  settings.difference = std::vector<std::int32_t>{};
  const Forecast f = RunForecast(rows, settings, 1);
  const InnerSplit split = SplitTraining(rows);
  for (const model::MemberModel& member : f.model.ensemble->members) {
    const std::int32_t w = f.model.windowSize;
    EXPECT_EQ(member.scaling, RefittedScaling(w, member.program, member.scaling, split.training));
    EXPECT_NE(member.holdoutMse,
              ProgramError(ProgramModel(w, member.program, *f.model.clip, member.scaling),
                           split.training, split.innerRows));
  }
}

// The control sees every generation of every run once, in order, with a fixed total, and a
// cancel set during a generation ends the forecast after that generation.
TEST(ForecastRun, ProgressCountsEveryGenerationAndCancelStopsAfterTheCurrentOne) {
  const std::vector<CellRow> rows = Rows(50, [](int i) { return i % 7; });
  const ForecastSettings settings = Quick(4, 3);

  std::vector<std::size_t> done;
  std::set<std::size_t> totals;
  std::vector<std::string> stages;
  ForecastControl control;
  control.progress = [&](std::size_t d, std::size_t total, const std::string& stage) {
    done.push_back(d);
    totals.insert(total);
    if (stages.empty() || stages.back() != stage) stages.push_back(stage);
  };
  const Forecast whole = RunForecast(rows, settings, 1, std::nullopt, control);
  ASSERT_EQ(totals.size(), 1u);
  ASSERT_EQ(done.size(), *totals.begin());
  for (std::size_t i = 0; i < done.size(); ++i) EXPECT_EQ(done[i], i + 1);
  EXPECT_EQ(stages, (std::vector<std::string>{"window search", "members"}));
  EXPECT_EQ(RunForecast(rows, settings, 1).model, whole.model);  // watching changes nothing

  for (const auto& [threads, stopAt] : {std::pair{1, std::size_t{1}},
                                        {1, done.size() - 1},
                                        {2, std::size_t{1}},
                                        {2, done.size() - 1}}) {
    std::atomic<bool> cancel{false};
    std::size_t seen = 0;
    ForecastControl stopping;
    stopping.cancel = &cancel;
    stopping.progress = [&](std::size_t d, std::size_t, const std::string&) {
      seen = d;
      if (d == stopAt) cancel = true;
    };
    EXPECT_THROW(RunForecast(rows, settings, threads, std::nullopt, stopping), ForecastCancelled);
    EXPECT_EQ(seen, stopAt) << threads;
  }
}

// On a series that alternates 3, 7, 3, ... any program that tells the two windows apart is
// exact as a + b * P, so every member predicts the continuation exactly, and its a and b reach
// the model file, the predictor and the exported text.
TEST(ForecastRun, LinearScalingGivesEachMemberTheLevelAndScaleOfTheSeries) {
  const std::vector<CellRow> rows = Rows(40, [](int i) { return i % 2 == 0 ? 3.0 : 7.0; });
  std::vector<double> continuation;
  for (int i = 0; i < 60; ++i) continuation.push_back(i % 2 == 0 ? 3.0 : 7.0);
  ForecastSettings settings = Quick(11, 3);  // with linear scaling, on by default
  const Forecast f = RunForecast(rows, settings, 2);
  const model::Model& m = f.model;
  EXPECT_EQ(m.settings.at("--linear-scaling"), "");
  EXPECT_EQ(model::ModelFromJson(model::ModelToJson(m)), m);
  const std::string text = model::ExportText(m, 0);
  for (std::size_t k = 0; k < m.ensemble->members.size(); ++k) {
    const model::MemberModel& member = m.ensemble->members[k];
    ASSERT_TRUE(member.scaling.has_value()) << k;
    EXPECT_NE(text.find(model::ExactText(member.scaling->a) + " + " +
                        model::ExactText(member.scaling->b) + " * ("),
              std::string::npos);
    EXPECT_LT(member.holdoutMse, 1e-12) << k;
    const model::SeriesPrediction p =
        model::Predictor(model::MemberAsModel(m, k), 0).Predict(continuation);
    EXPECT_LT(p.mse, 1e-12) << k;
  }
  settings.linearScaling = false;
  const Forecast unscaled = RunForecast(rows, settings, 2);
  for (const model::MemberModel& member : unscaled.model.ensemble->members) {
    EXPECT_FALSE(member.scaling.has_value());
  }
}

}  // namespace
}  // namespace vobrix::forecast
