// A population: its parameters, two generation buffers of Individuals and its histories.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "engine/functions.h"

namespace vobrix {

enum SelectionMethod : std::int32_t { kProportional = 0, kTournament = 1, kRandom = 2 };

struct PopulationParams {
  std::int32_t maxLength = 100;
  std::int32_t maxInitialDepth = 5;
  float functionRatio = 0.5f;
  float variableRatio = 0.2f;
  std::int32_t breakEvery = 0;
  std::int32_t generations = 50;
  std::int32_t populationSize = 1000;
  std::int32_t selectionMethod = kProportional;
  std::int32_t tournamentSize = 6;
  float crossoverRate = 0.7f;
  float mutationRate = 0.2f;
  float onePointRate = 0.0f;
  float eliteFraction = 0.1f;
};

struct Individual {
  Node* genes = nullptr;  // maxLength Nodes, owned by the Population
  std::int32_t length = 0;
  double rawFitness = 0.0;
  double adjustedFitness = 0.0;
  double normalizedFitness = 0.0;
};

struct Population {
  std::int32_t current = 0;  // buffer holding the current generation
  PopulationParams params;
  std::vector<float> fitnessScaleHistory;
  std::vector<float> bestFitnessHistory;
  std::vector<std::int32_t> averageLengthHistory;
  std::array<std::vector<Individual*>, 2> buffers;

  // Allocates everything the population will ever use; throws std::bad_alloc when it cannot.
  explicit Population(const PopulationParams& params);
  Population(const Population&) = delete;
  Population& operator=(const Population&) = delete;

  Individual** Current() { return buffers[current].data(); }
  Individual** Next() { return buffers[1 - current].data(); }

 private:
  std::vector<Individual> records_;  // 2 x populationSize, never moved
  std::vector<Node> geneStore_;      // 2 x populationSize x maxLength
};

// The population being filled, evaluated or bred; DrawNode reads its ratios.
extern Population* currentPopulation;

}  // namespace vobrix
