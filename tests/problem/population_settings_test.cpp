#include "problem/population_settings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "problem/textconv.h"

namespace vobrix {
namespace {

TEST(ReadPopulationParamsTest, WindowDefaultsGiveTheDefaultParameters) {
  const PopulationParams params = ReadPopulationParams(PanelTexts{});
  EXPECT_EQ(params.populationSize, 1000);
  EXPECT_EQ(params.generations, 50);
  EXPECT_EQ(params.selectionMethod, kProportional);
  EXPECT_EQ(params.crossoverRate, 0.7f);
  EXPECT_EQ(params.mutationRate, 0.2f);
  EXPECT_EQ(params.onePointRate, 0.0f);
  EXPECT_EQ(params.eliteFraction, 0.1f);
  EXPECT_EQ(params.breakEvery, 0);
  EXPECT_EQ(params.maxLength, 100);
  EXPECT_EQ(params.maxInitialDepth, 5);
  EXPECT_EQ(params.functionRatio, 0.5f);
  EXPECT_EQ(params.variableRatio, 0.2f);
  EXPECT_EQ(EliteCount(params), 100);
  EXPECT_NO_THROW(ValidatePopulationParams(params, 1));
}

TEST(ReadPopulationParamsTest, ElitePercentIsNarrowedAfterAnExtendedHundredth) {
  PopulationParams params = ReadPopulationParams({.populationSize = "100", .elite = "29"});
  EXPECT_EQ(params.eliteFraction, 0.29f);
  EXPECT_EQ(EliteCount(params), 28);

  params = ReadPopulationParams({.elite = "1"});
  EXPECT_EQ(params.eliteFraction, 0.01f);
  EXPECT_EQ(EliteCount(params), 9);

  params = ReadPopulationParams({.crossover = "0.29", .elite = "250"});
  EXPECT_EQ(params.crossoverRate, 0.29f);
  EXPECT_EQ(EliteCount(params), 1000);  // above 100 percent: the whole population
  EXPECT_NO_THROW(ValidatePopulationParams(params, 1));
}

TEST(ReadPopulationParamsTest, EditsBehindAClearBoxOrAnotherMethodAreNotRead) {
  for (int method : {0, 1, 2}) {
    const PanelTexts texts{.selectionIndex = method,
                           .tournamentSize = "six",
                           .eliteChecked = false,
                           .elite = "ten",
                           .breakEvery = "never"};
    if (method == kTournament) {
      EXPECT_THROW(ReadPopulationParams(texts), ConversionError);
      continue;
    }
    const PopulationParams params = ReadPopulationParams(texts);
    EXPECT_EQ(params.eliteFraction, 0.0f);
    EXPECT_EQ(params.breakEvery, 0);
    EXPECT_EQ(params.selectionMethod, method);
    EXPECT_EQ(EliteCount(params), 0);
  }

  const PopulationParams params = ReadPopulationParams(
      {.selectionIndex = 1, .tournamentSize = " 8 ", .breakChecked = true, .breakEvery = "3"});
  EXPECT_EQ(params.selectionMethod, kTournament);
  EXPECT_EQ(params.tournamentSize, 8);
  EXPECT_EQ(params.breakEvery, 3);
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
  struct Spoil {
    std::string PanelTexts::*field;
    std::string text;
  };
  const Spoil backwards[] = {
      {&PanelTexts::variableRatio, "v"},   {&PanelTexts::functionRatio, "f"},
      {&PanelTexts::maxInitialDepth, "d"}, {&PanelTexts::maxLength, "1.5"},  // an integer field
      {&PanelTexts::breakEvery, "b"},      {&PanelTexts::elite, "e"},
      {&PanelTexts::onePoint, "o"},        {&PanelTexts::mutation, "m"},
      {&PanelTexts::crossover, "c"},       {&PanelTexts::tournamentSize, "t"},
      {&PanelTexts::generations, "g"},     {&PanelTexts::populationSize, ""}};
  PanelTexts texts{.selectionIndex = 1, .breakChecked = true};
  EXPECT_EQ(failingText(texts), "(none)");
  for (const Spoil& spoil : backwards) {
    texts.*spoil.field = spoil.text;
    EXPECT_EQ(failingText(texts), spoil.text);
  }
}

std::string Refusal(const PopulationParams& params, int population) {
  try {
    ValidatePopulationParams(params, population);
  } catch (const SettingsError& error) {
    return error.what();
  }
  return "";
}

TEST(ValidatePopulationParamsTest, CountsAtTheirLowestAndOneBelow) {
  PopulationParams params;
  params.populationSize = 1;
  params.generations = 0;
  params.maxLength = 3;
  params.maxInitialDepth = 0;
  params.selectionMethod = kTournament;
  params.tournamentSize = 1;
  EXPECT_EQ(Refusal(params, 1), "");

  PopulationParams bad = params;
  bad.populationSize = 0;
  EXPECT_EQ(Refusal(bad, 2), "\"Population Size\" of population 2 must be at least 1.");
  bad = params;
  bad.generations = -1;
  EXPECT_EQ(Refusal(bad, 1), "\"Generation\" of population 1 must be at least 0.");
  bad = params;
  bad.maxLength = 2;
  EXPECT_EQ(Refusal(bad, 3), "\"Maximum Length\" of population 3 must be at least 3.");
  bad = params;
  bad.maxInitialDepth = -1;
  EXPECT_EQ(Refusal(bad, 4), "\"Maximum Initial Depth\" of population 4 must be at least 0.");
  bad = params;
  bad.tournamentSize = 0;
  EXPECT_EQ(Refusal(bad, 1), "\"Tournament Size\" of population 1 must be at least 1.");
  bad.selectionMethod = kRandom;  // the size is not used then
  EXPECT_EQ(Refusal(bad, 1), "");
  bad.selectionMethod = 3;
  EXPECT_NE(Refusal(bad, 1).find("\"Selection Method\""), std::string::npos);
}

TEST(ValidatePopulationParamsTest, RatesAndRatiosMustBeFiniteAndNotNegative) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  struct Case {
    float PopulationParams::*field;
    const char* name;
  };
  const Case cases[] = {{&PopulationParams::crossoverRate, "\"Crossover\""},
                        {&PopulationParams::mutationRate, "\"Mutation\""},
                        {&PopulationParams::onePointRate, "\"One-point Mutation\""},
                        {&PopulationParams::eliteFraction, "\"Elite Strategy\""},
                        {&PopulationParams::functionRatio, "\"Function\""},
                        {&PopulationParams::variableRatio, "\"Variable\""}};
  for (const Case& c : cases) {
    for (float value : {-0.01f, nan, inf}) {
      PopulationParams params;
      params.*c.field = value;
      EXPECT_EQ(Refusal(params, 2),
                std::string(c.name) + " of population 2 must be a finite number of at least 0.")
          << value;
    }
    PopulationParams zero;
    zero.*c.field = 0.0f;
    EXPECT_EQ(Refusal(zero, 1), "");
  }

  // A rate beyond the single-precision range is read as an infinity and refused, not
  // narrowed by undefined behaviour.
  EXPECT_NE(Refusal(ReadPopulationParams({.mutation = "1e300"}), 1).find("\"Mutation\""),
            std::string::npos);
}

}  // namespace
}  // namespace vobrix
