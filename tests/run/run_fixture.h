// A whole run on in-memory controls: data in the grids, a problem and populations built as the
// Start handler builds them, and a record of every step the run reports.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/functions.h"
#include "engine/gp_pop.h"
#include "problem/problem.h"
#include "problem/textconv.h"
#include "run/gp.h"
#include "run/grid_rows.h"
#include "run/memory_display.h"

namespace vobrix::test {

// n rows of a smooth series, X from firstX, texts in the loaders' 6-digit format.
inline std::vector<CellRow> SeriesRows(int firstX, int n, int offset = 0) {
  std::vector<CellRow> rows;
  for (int k = 0; k < n; ++k) {
    const double t = offset + k;
    rows.push_back({FormatGeneral(firstX + k, 6),
                    FormatGeneral(5.0 + 3.0 * std::sin(0.3 * t) + 0.5 * std::cos(0.7 * t), 6)});
  }
  return rows;
}

inline PopulationParams SmallParams(int generations, int size = 20) {
  return {
      .maxLength = 40, .maxInitialDepth = 3, .generations = generations, .populationSize = size};
}

class RunScenario : public ::testing::Test {
 protected:
  void SetUp() override {
    static const FunctionTable table = BuildFunctionTable();
    functionTable = &table;
    populationReports = {};
  }
  void TearDown() override { currentProblem = nullptr; }

  // Training X 0..99 and validation X 100..119 unless told otherwise.
  void LoadData(int firstX = 0, int training = 100, int validation = 20) {
    trainingRows = SeriesRows(firstX, training);
    FillGrid(controls.StringGrid1, trainingRows);
    if (validation > 0) {
      FillGrid(controls.StringGrid3, SeriesRows(firstX + training, validation, training));
    }
  }

  // Creates the problem and the populations as the Start handler does.
  void Create(const std::vector<PopulationParams>& params) {
    settings.windowSizeText = std::to_string(windowSize);
    session.problem = MakeProblem(settings, trainingRows, *functionTable).problem;
    session.lastPopIndex = static_cast<std::int32_t>(params.size()) - 1;
    for (std::size_t i = 0; i < params.size(); ++i) {
      session.populations[i] = std::make_unique<Population>(params[i]);
    }
    session.seedSource = [] { return 12345u; };
    session.observer.afterStep = [this](const StepReport& report) {
      steps.push_back(report);
      if (onStep) onStep(report);
    };
  }

  RunResult Run() { return RunEvolution(session, view); }

  static std::vector<std::string> Labels(const toolkit::Chart& chart, int series) {
    std::vector<std::string> labels;
    for (const auto& p : chart.Points(series)) labels.push_back(p.label);
    return labels;
  }

  int windowSize = 5;
  ProblemSettings settings;
  std::vector<CellRow> trainingRows;
  MemoryRunDisplay controls;
  RunDisplay view = controls.View();
  RunSession session;
  std::vector<StepReport> steps;
  std::function<void(const StepReport&)> onStep;
};

}  // namespace vobrix::test
