// One population panel's texts and states, converted to PopulationParams and checked. The
// window and the command line both go through here, so a value means the same in both.
#pragma once

#include <array>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/functions.h"
#include "engine/gp_pop.h"

namespace vobrix {

// What a panel holds, with the window's defaults.
struct PanelTexts {
  std::string populationSize = "1000";
  std::string generations = "50";
  int selectionIndex = 0;  // 0 "Proportional", 1 "Tournament", 2 "Random"
  std::string tournamentSize = "6";
  std::string crossover = "0.70";
  std::string mutation = "0.20";
  std::string onePoint = "0.00";
  bool eliteChecked = true;
  std::string elite = "10";  // a percent
  bool breakChecked = false;
  std::string breakEvery = "5";
  std::string maxLength = "100";
  std::string maxInitialDepth = "5";
  std::string functionRatio = "0.50";
  std::string variableRatio = "0.20";
};

// A population setting under which no run can exist; the message names the field as the
// window shows it and the population.
class SettingsError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Converts the texts in the panel's order; throws ConversionError for the first text that is
// not a number. The tournament size is read only for "Tournament", the elite and break edits
// only when their boxes are ticked.
PopulationParams ReadPopulationParams(const PanelTexts& texts);

// Refuses settings that leave the engine without a program or without a bound; populationNumber
// counts from 1.
void ValidatePopulationParams(const PopulationParams& params, int populationNumber);

// Refuses populations whose generations add up to more steps than the run's counters (and the
// progress bar) can count: 2147483647.
void ValidateGenerationTotal(const std::vector<PopulationParams>& populations);

// Refuses settings under which random growth cannot close, or would take far more than a
// second for one initial program or (with a mutation rate above 0) one subtree mutation
// (ExpectedGrowthWork), with the functions ticked in check-list order ("+" alone when none
// is).
void ValidateGrowth(const PopulationParams& params,
                    const std::array<bool, kFunctionTableSize>& ticked, int populationNumber);

}  // namespace vobrix
