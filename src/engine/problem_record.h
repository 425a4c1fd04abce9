// The run's problem record: what programs may use and what they read while they are evaluated.
// It is built from the window's settings by the problem layer (problem/problem.h).
#pragma once

#include <cstdint>
#include <vector>

#include "engine/functions.h"

namespace vobrix {

struct Problem {
  std::int32_t trainingCount = 0;
  std::int32_t functionCount = 0;
  std::int32_t variableCount = 0;
  std::int32_t constantCount = 0;
  float constantUpper = 0.0f;
  float constantLower = 0.0f;
  bool paused = false;
  std::vector<NodeEntry> nodeTable;  // functions, then variables, then constants
  std::vector<double> window;        // variableCount values that the variable nodes return
  std::vector<double> constants;
  std::vector<double> trainingX;
  std::vector<double> trainingY;
  // The "Window Size" the fitness reads. The window locks that box during a run, so it always
  // equals variableCount and never overruns window.
  std::int32_t windowSize = 0;

  // window[k] = trainingY[start + k] for k = 0 .. windowSize - 1.
  void LoadWindow(std::int32_t start);
};

// The process-wide current problem that the evaluators and the node draws read.
extern Problem* currentProblem;

}  // namespace vobrix
