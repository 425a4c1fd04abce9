// Seeded runs checked in under tests/golden/ and compared byte for byte: the CSV that
// vobrix-cli prints, its --dump-initial listing of generation 0, and the prediction grid
// texts that the same run writes after every step (read from the in-memory controls, since
// the program does not print them). VOBRIX_UPDATE_GOLDEN=1 writes the files instead of
// comparing; tests/golden/README.md says what each file pins.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/options.h"
#include "cli/output.h"
#include "common/scratch.h"
#include "engine/functions.h"
#include "golden_cases.h"
#include "problem/datafile.h"
#include "problem/normalize.h"
#include "problem/population_settings.h"
#include "problem/problem.h"
#include "read_text.h"
#include "run/gp.h"
#include "run/grid_rows.h"
#include "run/memory_display.h"

namespace vobrix {
namespace {

namespace fs = std::filesystem;

using cli::testing::ReadText;

using cli::testing::GoldenCase;
using cli::testing::kGoldenDir;
using cli::testing::ReadCases;

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
  std::istringstream e(expected), a(actual);
  std::string el, al;
  int line = 1;
  while (std::getline(e, el) && std::getline(a, al) && el == al) ++line;
  ADD_FAILURE() << path << " differs from the run at line " << line << "\n  golden: " << el
                << "\n  run:    " << al;
}

// Appends a blank, the prefix and the word in single quotes to a shell command.
void AppendQuoted(std::string& command, const char* prefix, const std::string& word) {
  command += ' ';
  command += prefix;
  command += '\'';
  command += word;
  command += '\'';
}

class Golden : public ::testing::TestWithParam<GoldenCase> {
 protected:
  fs::path Scratch(const std::string& file) const {
    const fs::path dir = vobrix::testing::ScratchPath("vobrix_golden_" + GetParam().name);
    fs::create_directories(dir);
    return dir / file;
  }
};

TEST_P(Golden, CliOutputAndInitialGeneration) {
  const GoldenCase& c = GetParam();
  std::string command;
  AppendQuoted(command, "", VOBRIX_CLI);
  for (const std::string& arg : c.args) AppendQuoted(command, "", arg);
  const fs::path out = Scratch("stdout.csv"), err = Scratch("stderr.txt"),
                 dump = Scratch("initial.txt");
  AppendQuoted(command, "--dump-initial ", dump.string());
  AppendQuoted(command, ">", out.string());
  AppendQuoted(command, "2>", err.string());
  command += " </dev/null";
  const int raw = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << ReadText(err);
  EXPECT_EQ(ReadText(err), "");
  CheckGolden(c, "stdout.csv", ReadText(out));
  CheckGolden(c, "initial.txt", ReadText(dump));
}

// The same run in this process, on the in-memory controls, built from the same arguments as
// the program builds it. Its CSV must be the program's, so the predictions belong to that run.
TEST_P(Golden, PredictionGridAfterEveryStep) {
  const GoldenCase& c = GetParam();
  const cli::CliOptions options = cli::ParseOptions(c.args);
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
  for (int p = 0; p < options.populations; ++p) {
    session.populations[static_cast<std::size_t>(p)] = std::make_unique<Population>(
        ReadPopulationParams(options.panels[static_cast<std::size_t>(p)]));
  }
  std::string csv = cli::CsvHeader(), dump, predictions;
  session.observer.afterInitialEvaluation = [&](std::int32_t i, Population& population) {
    dump += cli::DumpGeneration(i, population);
  };
  session.observer.afterStep = [&](const StepReport& report) {
    csv += cli::CsvRow(report);
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
TEST(GoldenCases, AreListedWithASeedAndTheirFiles) {
  const std::vector<GoldenCase> cases = ReadCases();
  EXPECT_GE(cases.size(), 5u);
  for (const GoldenCase& c : cases) {
    EXPECT_NE(std::find(c.args.begin(), c.args.end(), "--seed"), c.args.end()) << c.name;
    for (const char* file : {"stdout.csv", "initial.txt", "predictions.txt"}) {
      EXPECT_TRUE(Updating() || fs::exists(kGoldenDir / c.name / file)) << c.name << "/" << file;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Runs, Golden, ::testing::ValuesIn(ReadCases()),
                         [](const ::testing::TestParamInfo<GoldenCase>& info) {
                           std::string name = info.param.name;
                           for (char& ch : name) {
                             if (ch == '-') ch = '_';
                           }
                           return name;
                         });

}  // namespace
}  // namespace vobrix
