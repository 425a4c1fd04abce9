// Seeded runs checked in under tests/golden/ and compared byte for byte: the CSV that
// vobrix-cli prints, its --dump-initial listing of generation 0, and the prediction grid
// texts that the same run writes after every step (read from the in-memory controls, since
// the program does not print them). VOBRIX_UPDATE_GOLDEN=1 writes the files instead of
// comparing; tests/golden/README.md says what each file pins.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "cli/options.h"
#include "cli/output.h"
#include "cli_fixture.h"
#include "engine/functions.h"
#include "problem/datafile.h"
#include "problem/normalize.h"
#include "problem/population_settings.h"
#include "problem/problem.h"
#include "run/gp.h"
#include "run/grid_rows.h"
#include "run/memory_display.h"

namespace vobrix::cli::testing {
namespace {

bool Updating() {
  const char* update = std::getenv("VOBRIX_UPDATE_GOLDEN");
  return update != nullptr && std::string(update) == "1";
}

// Compares actual with the golden file of the case, naming the first line that differs; when
// updating, writes the file instead.
void CheckGolden(const GoldenCase& c, const std::string& file, const std::string& actual) {
  const fs::path path = kGoldenDir / c.name / file;
  if (Updating()) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << actual;
    return;
  }
  ASSERT_TRUE(fs::exists(path)) << path << " is missing (VOBRIX_UPDATE_GOLDEN=1 writes it)";
  const std::string expected = ReadText(path);
  if (expected == actual) return;
  const std::vector<std::string> e = Split(expected), a = Split(actual);
  const auto [el, al] = std::mismatch(e.begin(), e.end(), a.begin(), a.end());
  ADD_FAILURE() << path << " differs from the run at line " << (el - e.begin()) + 1
                << "\n  golden: " << (el == e.end() ? "" : *el)
                << "\n  run:    " << (al == a.end() ? "" : *al);
}

using Golden = CliFixtureOf<::testing::TestWithParam<GoldenCase>>;

TEST_P(Golden, CliOutputAndInitialGeneration) {
  const Outcome o = Run(Quoted(GetParam().args) + " --dump-initial initial.txt");
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.err, "");
  CheckGolden(GetParam(), "stdout.csv", o.out);
  CheckGolden(GetParam(), "initial.txt", Read("initial.txt"));
}

// The same run in this process, on the in-memory controls, built from the same arguments as
// the program builds it. Its CSV must be the program's, so the predictions belong to that run.
TEST_P(Golden, PredictionGridAfterEveryStep) {
  const GoldenCase& c = GetParam();
  const CliOptions options = ParseOptions(c.args);
  ASSERT_TRUE(options.seed.has_value()) << "a golden run needs --seed";
  std::vector<CellRow> training = ReadDataFile(options.trainPath);
  std::vector<CellRow> validation;
  if (options.validationPath) validation = ReadDataFile(*options.validationPath);
  if (options.normalize) {
    NormalizedData normalized = Normalize(training, validation);
    training = std::move(normalized.training);
    validation = std::move(normalized.validation);
  }
  MemoryRunDisplay controls;
  FillGrid(controls.StringGrid1, training);
  FillGrid(controls.StringGrid3, validation);
  static const FunctionTable table = BuildFunctionTable();
  functionTable = &table;

  RunSession session;
  session.problem = MakeProblem(options.problem, training, table).problem;
  session.lastPopIndex = options.populations - 1;
  session.hasValidation = options.validationPath.has_value();
  session.seedSource = [seed = *options.seed] { return seed; };
  for (std::size_t p = 0; p < static_cast<std::size_t>(options.populations); ++p) {
    session.populations[p] = std::make_unique<Population>(ReadPopulationParams(options.panels[p]));
  }
  std::string csv = CsvHeader(), dump, predictions;
  session.observer.afterInitialEvaluation = [&](std::int32_t i, Population& population) {
    dump += DumpGeneration(i, population);
  };
  session.observer.afterStep = [&](const StepReport& report) {
    csv += CsvRow(report);
    const int column = report.population + 1;
    predictions += "generation " + std::to_string(report.generation) + " population " +
                   std::to_string(column) + "\n";
    for (int row = 0; row < controls.StringGrid5.RowCount(); ++row) {
      predictions +=
          controls.StringGrid5.Cell(0, row) + "\t" + controls.StringGrid5.Cell(column, row) + "\n";
    }
  };
  ASSERT_EQ(RunEvolution(session, controls.View()).outcome, RunOutcome::Finished);
  CheckGolden(c, "predictions.txt", predictions);
  if (!Updating()) {
    EXPECT_EQ(csv, ReadText(kGoldenDir / c.name / "stdout.csv"));
    EXPECT_EQ(dump, ReadText(kGoldenDir / c.name / "initial.txt"));
  }
}

// The cases are read when the tests are listed; an unreadable list would leave none to run.
TEST(GoldenCases, AreListed) {
  EXPECT_GE(ReadCases().size(), 5u);
}

INSTANTIATE_TEST_SUITE_P(Runs, Golden, ::testing::ValuesIn(ReadCases()), [](const auto& info) {
  std::string name = info.param.name;
  std::replace(name.begin(), name.end(), '-', '_');
  return name;
});

}  // namespace
}  // namespace vobrix::cli::testing
