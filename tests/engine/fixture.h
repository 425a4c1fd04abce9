// Builds a Problem record by hand, so the engine can be tested without the settings layer, and
// owned programs and shape checks for the operator, breeding and evaluation tests.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "engine/functions.h"
#include "engine/gp_pop.h"
#include "engine/problem_record.h"

namespace vobrix::test {

// A problem with the given FunctionTable indices, variables X0..X(variables-1), constants and
// training series; it becomes the current problem for as long as it lives.
class TestProblem {
 public:
  TestProblem(std::initializer_list<int> functions, int variables, std::vector<double> constants,
              std::vector<double> series = {}) {
    static const FunctionTable table = BuildFunctionTable();
    for (int f : functions) problem_.nodeTable.push_back(table[f]);
    problem_.functionCount = static_cast<int>(functions.size());
    problem_.variableCount = variables;
    problem_.windowSize = variables;
    problem_.window.assign(variables, 0.0);
    for (int k = 0; k < variables; ++k) {
      problem_.nodeTable.push_back(
          NodeEntry{-1, std::string("X").append(std::to_string(k)), EvalVariable, k});
    }
    problem_.constantCount = static_cast<int>(constants.size());
    problem_.constants = std::move(constants);
    for (int k = 0; k < problem_.constantCount; ++k) {
      char text[32];
      std::snprintf(text, sizeof text, "%.3f", problem_.constants[k]);
      problem_.nodeTable.push_back(NodeEntry{-1, text, EvalConstant, k});
    }
    problem_.trainingY = std::move(series);
    problem_.trainingCount = static_cast<int>(problem_.trainingY.size());
    problem_.trainingX.assign(problem_.trainingY.size(), 0.0);
    previous_ = currentProblem;
    currentProblem = &problem_;
  }
  ~TestProblem() { currentProblem = previous_; }
  TestProblem(const TestProblem&) = delete;
  TestProblem& operator=(const TestProblem&) = delete;

  Problem& get() { return problem_; }
  // Node index of a function block entry, a variable and a constant.
  Node fn(int blockIndex) const { return blockIndex; }
  Node var(int k) const { return problem_.functionCount + k; }
  Node constant(int k) const { return problem_.functionCount + problem_.variableCount + k; }

 private:
  Problem problem_;
  Problem* previous_ = nullptr;
};

// Evaluates a whole program with the given window values.
inline double Evaluate(const std::vector<Node>& genes, std::vector<double> window,
                       std::int32_t* endPosition = nullptr) {
  currentProblem->window = std::move(window);
  std::int32_t position = 0;
  const double value = EvaluateNode(genes.data(), position);
  if (endPosition) *endPosition = position;
  return value;
}

// The same double to the bit, or NaN on both sides (0.0 and -0.0 differ).
inline bool SameValue(double a, double b) {
  if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
  return std::memcmp(&a, &b, sizeof a) == 0;
}

// 30 values of the logistic map at 3.9: a series that rewards products, so programs grow.
inline std::vector<double> LogisticSeries() {
  std::vector<double> series;
  double x = 0.3;
  for (int i = 0; i < 30; ++i) series.push_back(x = 3.9 * x * (1 - x));
  return series;
}

// Clears currentPopulation when the test that pointed it at a local population ends.
struct ResetCurrentPopulation {
  ~ResetCurrentPopulation() { currentPopulation = nullptr; }
};

// An Individual with its own gene array of capacity Nodes.
struct OwnedIndividual {
  std::vector<Node> store;
  Individual ind;

  OwnedIndividual(std::vector<Node> genes, std::int32_t capacity, Node filler = 0)
      : store(static_cast<std::size_t>(capacity), filler) {
    std::copy(genes.begin(), genes.end(), store.begin());
    ind.genes = store.data();
    ind.length = static_cast<std::int32_t>(genes.size());
  }
  OwnedIndividual(const OwnedIndividual&) = delete;
  OwnedIndividual& operator=(const OwnedIndividual&) = delete;

  std::vector<Node> Program() const { return {store.begin(), store.begin() + ind.length}; }
};

inline std::vector<Node> ProgramOf(const Individual& ind) {
  return {ind.genes, ind.genes + ind.length};
}

// Within capacity and zero from length up to capacity, and well formed: the openCount stays at
// 0 or above before the last Node and is -1 exactly at it.
inline bool IsSoundChild(const Individual& ind, std::int32_t capacity) {
  if (ind.length < 1 || ind.length > capacity) return false;
  std::int32_t open = 0;
  for (std::int32_t k = 0; k < ind.length; ++k) {
    const Node node = ind.genes[k];
    if (node < 0 || node >= static_cast<Node>(currentProblem->nodeTable.size())) return false;
    open += currentProblem->nodeTable[node].arityCode;
    if (k < ind.length - 1 && open < 0) return false;
  }
  return open == -1 &&
         std::all_of(ind.genes + ind.length, ind.genes + capacity, [](Node n) { return n == 0; });
}

}  // namespace vobrix::test
