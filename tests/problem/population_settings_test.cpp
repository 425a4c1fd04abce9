#include "problem/population_settings.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <string>
#include <tuple>

#include "common/error_text.h"
#include "problem/textconv.h"

namespace vobrix {
namespace {

TEST(ReadPopulationParamsTest, WindowDefaultsAndTheElitePercent) {
  const PopulationParams d = ReadPopulationParams(PanelTexts{});
  EXPECT_EQ((std::array{d.populationSize, d.generations, d.selectionMethod, d.breakEvery,
                        d.maxLength, d.maxInitialDepth}),
            (std::array{1000, 50, 0, 0, 100, 5}));
  EXPECT_EQ((std::array{d.crossoverRate, d.mutationRate, d.onePointRate, d.eliteFraction,
                        d.functionRatio, d.variableRatio}),
            (std::array{0.7f, 0.2f, 0.0f, 0.1f, 0.5f, 0.2f}));
  // The percent is narrowed to single precision after an extended-precision hundredth.
  EXPECT_EQ(ReadPopulationParams({.elite = "29"}).eliteFraction, 0.29f);
  EXPECT_EQ(ReadPopulationParams({.elite = "1"}).eliteFraction, 0.01f);
}

TEST(ReadPopulationParamsTest, EditsBehindAClearBoxOrAnotherMethodAreNotRead) {
  PanelTexts texts{
      .tournamentSize = "six", .eliteChecked = false, .elite = "ten", .breakEvery = "never"};
  for (int method : {0, 2}) {
    texts.selectionIndex = method;
    const PopulationParams p = ReadPopulationParams(texts);
    EXPECT_EQ((std::tuple{p.selectionMethod, p.eliteFraction, p.breakEvery, EliteCount(p)}),
              (std::tuple{method, 0.0f, 0, 0}));
  }
  texts.selectionIndex = 1;
  EXPECT_THROW(ReadPopulationParams(texts), ConversionError);
  const PopulationParams p = ReadPopulationParams(
      {.selectionIndex = 1, .tournamentSize = " 8 ", .breakChecked = true, .breakEvery = "3"});
  EXPECT_EQ((std::array{p.selectionMethod, p.tournamentSize, p.breakEvery}), (std::array{1, 8, 3}));
}

// The first text in the panel's order that is not a number is the one reported: spoiling the
// fields from the last to the first, each new bad text takes over.
TEST(ReadPopulationParamsTest, ReadsInThePanelOrder) {
  const auto failingText = [](const PanelTexts& texts) {
    try {
      ReadPopulationParams(texts);
    } catch (const ConversionError& error) {
      return error.text();
    }
    return std::string("(none)");
  };
  const std::pair<std::string PanelTexts::*, std::string> backwards[] = {
      {&PanelTexts::variableRatio, "v"},   {&PanelTexts::functionRatio, "f"},
      {&PanelTexts::maxInitialDepth, "d"}, {&PanelTexts::maxLength, "1.5"},  // an integer field
      {&PanelTexts::breakEvery, "b"},      {&PanelTexts::elite, "e"},
      {&PanelTexts::onePoint, "o"},        {&PanelTexts::mutation, "m"},
      {&PanelTexts::crossover, "c"},       {&PanelTexts::tournamentSize, "t"},
      {&PanelTexts::generations, "g"},     {&PanelTexts::populationSize, ""}};
  PanelTexts texts{.selectionIndex = 1, .breakChecked = true};
  EXPECT_EQ(failingText(texts), "(none)");
  for (const auto& [field, text] : backwards) {
    texts.*field = text;
    EXPECT_EQ(failingText(texts), text);
  }
}

// The message of the SettingsError the check throws, or "" when it accepts.
template <class Check>
std::string Refused(Check check) {
  return vobrix::testing::ErrorText<SettingsError>(check, "");
}
std::string Refusal(const PopulationParams& params, int population) {
  return Refused([&] { ValidatePopulationParams(params, population); });
}

TEST(ValidatePopulationParamsTest, CountsAtTheirLowestAndOneBelow) {
  PopulationParams lowest;
  lowest.populationSize = lowest.tournamentSize = 1;
  lowest.generations = lowest.maxInitialDepth = 0;
  lowest.maxLength = 3;
  lowest.selectionMethod = kTournament;
  EXPECT_EQ(Refusal(lowest, 1), "");
  using P = PopulationParams;
  const std::tuple<std::int32_t P::*, const char*, int> counts[] = {
      {&P::populationSize, "\"Population Size\"", 1},
      {&P::generations, "\"Generation\"", 0},
      {&P::maxLength, "\"Maximum Length\"", 3},
      {&P::maxInitialDepth, "\"Maximum Initial Depth\"", 0},
      {&P::tournamentSize, "\"Tournament Size\"", 1}};
  for (const auto& [field, name, least] : counts) {
    PopulationParams bad = lowest;
    bad.*field = least - 1;
    EXPECT_EQ(Refusal(bad, 2), std::string(name) + " of population 2 must be at least " +
                                   std::to_string(least) + ".");
  }
  PopulationParams random = lowest;
  random.tournamentSize = 0;
  random.selectionMethod = kRandom;  // the size is not used then
  EXPECT_EQ(Refusal(random, 1), "");
}

TEST(ValidatePopulationParamsTest, TournamentsBeyondCertainlyDrawingTheBestAreRefused) {
  // n x 32 ln 2 draws (with replacement) miss the best of n slots with a chance below 2^-32;
  // more draws change nothing but the time a selection takes.
  const std::tuple<std::int32_t, std::int32_t> limits[] = {
      {1, 23}, {2, 45}, {1000, 22181}, {100000000, std::numeric_limits<std::int32_t>::max()}};
  for (const auto& [size, limit] : limits) {
    PopulationParams params;
    params.selectionMethod = kTournament;
    params.populationSize = size;
    params.tournamentSize = limit;
    EXPECT_EQ(Refusal(params, 1), "") << size;
    if (limit == std::numeric_limits<std::int32_t>::max()) continue;
    params.tournamentSize = limit + 1;
    EXPECT_EQ(Refusal(params, 3),
              "\"Tournament Size\" of population 3 must be at most " + std::to_string(limit) +
                  ": from " + std::to_string(size) +
                  " individuals, a tournament that large already picks the best one all but "
                  "certainly (it misses it less than once in 2^32 selections).")
        << size;
  }
  PopulationParams proportional;  // the size is not used then
  proportional.tournamentSize = std::numeric_limits<std::int32_t>::max();
  EXPECT_EQ(Refusal(proportional, 1), "");
}

TEST(ValidateGenerationTotalTest, TheRunsStepsMustBeCountable) {
  const std::int32_t max = std::numeric_limits<std::int32_t>::max();
  PopulationParams first, second;
  first.generations = max;
  second.generations = 0;
  EXPECT_EQ(Refused([&] { ValidateGenerationTotal({first, second}); }), "");
  second.generations = 1;
  EXPECT_EQ(Refused([&] {
              ValidateGenerationTotal({first, second, second});
            }),
            "The \"Generation\" counts of all populations must add up to at most 2147483647 "
            "steps.");
}

TEST(ValidateGrowthTest, OnlyGrowthThatCannotCloseInReasonableTimeIsRefused) {
  using Ticked = std::array<bool, kFunctionTableSize>;
  const Ticked plusTimes{true, false, true};
  Ticked sinOnly{};
  sinOnly[kSin] = true;
  struct Case {
    Ticked ticked;
    float functionRatio;
    std::int32_t depth;
    bool accepted;
    float mutationRate = 0.2f;
  };
  const Case cases[] = {
      {Ticked{true, true, true, true}, 0.5f, 5, true},  // the window's defaults
      {Ticked{}, 0.5f, 5, true},                        // nothing ticked runs with "+"
      {plusTimes, 1.0f, 6, true},  // a full tree of 127 Nodes, yet one in 16,000 closes by 70
      {plusTimes, 1.0f, 7, false},
      {sinOnly, 1.0f, 0, true},  // a chain closes on the draw of 1.0 within 70 Nodes
      {sinOnly, std::nextafter(1.0f, 2.0f), 1, false},       // no terminal: mutation never closes
      {sinOnly, std::nextafter(1.0f, 2.0f), 1, true, 0.0f},  // ... but never mutates either
  };
  for (const Case& c : cases) {
    PopulationParams params;
    params.functionRatio = c.functionRatio;
    params.variableRatio = 0.0f;
    params.maxInitialDepth = c.depth;
    params.mutationRate = c.mutationRate;
    const std::string refusal = Refused([&] { ValidateGrowth(params, c.ticked, 4); });
    const bool accepted = refusal.empty();
    if (!accepted) {
      EXPECT_EQ(refusal.rfind("\"Function\" of population 4 must be ", 0), 0u);
    }
    EXPECT_EQ(accepted, c.accepted) << c.functionRatio << " at depth " << c.depth;
  }
}

TEST(ValidatePopulationParamsTest, RatesAndRatiosMustBeFiniteAndNotNegative) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  using P = PopulationParams;
  const std::pair<float P::*, const char*> cases[] = {
      {&P::crossoverRate, "\"Crossover\""},         {&P::mutationRate, "\"Mutation\""},
      {&P::onePointRate, "\"One-point Mutation\""}, {&P::eliteFraction, "\"Elite Strategy\""},
      {&P::functionRatio, "\"Function\""},          {&P::variableRatio, "\"Variable\""}};
  for (const auto& [field, name] : cases) {
    for (float value : {-0.01f, nan, inf}) {
      PopulationParams params;
      params.*field = value;
      EXPECT_EQ(Refusal(params, 2),
                std::string(name) + " of population 2 must be a finite number of at least 0.")
          << value;
    }
    PopulationParams zero;
    zero.*field = 0.0f;
    EXPECT_EQ(Refusal(zero, 1), "");
  }

  // A rate beyond the single-precision range is read as an infinity and refused, not
  // narrowed by undefined behaviour.
  for (const char* text : {"1e300", "1e39", "-1e39", "3.5e38"}) {
    EXPECT_NE(Refusal(ReadPopulationParams({.mutation = text}), 1).find("\"Mutation\""),
              std::string::npos)
        << text;
  }
}

}  // namespace
}  // namespace vobrix
