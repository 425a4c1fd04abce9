// vobrix-cli run, predict and export end to end: the files a user takes away hold the run's own
// numbers, predict and the exported C function repeat them, and every bad input ends with
// status 2 and one line.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli_fixture.h"
#include "golden_cases.h"
#include "problem/textconv.h"

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;
using vobrix::cli::testing::CliFixture;
using vobrix::cli::testing::GoldenCase;
using vobrix::cli::testing::kGoldenDir;
using vobrix::cli::testing::Outcome;
using vobrix::cli::testing::ReadCases;
using vobrix::cli::testing::ReadText;
using vobrix::cli::testing::Split;

double Number(const std::string& text) {
  return std::strtod(text.c_str(), nullptr);
}

// One row of a predictions file.
struct Row {
  int population = 0;
  std::string part, x, actual, predicted;
  bool operator==(const Row&) const = default;
};

std::vector<Row> Rows(const std::string& csv) {
  const std::vector<std::string> lines = Split(csv);
  EXPECT_FALSE(lines.empty());
  if (lines.empty()) return {};
  EXPECT_EQ(lines[0], "population,part,x,actual,predicted");
  std::vector<Row> rows;
  for (std::size_t r = 1; r < lines.size(); ++r) {
    const std::vector<std::string> f = Split(lines[r], ',');
    EXPECT_EQ(f.size(), 5u) << lines[r];
    if (f.size() == 5) rows.push_back({std::stoi(f[0]), f[1], f[2], f[3], f[4]});
  }
  return rows;
}

// The rows of one population and part, with population and part dropped for comparing.
std::vector<Row> Select(const std::vector<Row>& rows, int population,
                        const std::vector<std::string>& parts) {
  std::vector<Row> selected;
  for (const Row& row : rows) {
    if (row.population != population) continue;
    for (const std::string& part : parts) {
      if (row.part == part) selected.push_back({0, "", row.x, row.actual, row.predicted});
    }
  }
  return selected;
}

class Subcommands : public CliFixture {
 protected:
  void SetUp() override {
    CliFixture::SetUp();
    // Four decimals: the data-file reader keeps them as they are.
    std::string train, valid;
    for (int x = 0; x < 70; ++x) {
      char line[64];
      std::snprintf(line, sizeof line, "%d\t%.4f\n", x, 5 + 3 * std::sin(0.3 * x));
      (x < 60 ? train : valid) += line;
    }
    Write("train.txt", train);
    Write("valid.txt", valid);
    Write("joined.txt", train + valid);
  }

  // A quick seeded run over train.txt and valid.txt.
  Outcome RunSmall(const std::string& extra) const {
    return Run("run --train train.txt --validation valid.txt --pop-size 60 --generations 5 " +
               extra);
  }
  // The files of the scratch folder but the caught outputs.
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_)) {
      const std::string name = entry.path().filename();
      if (name != "stdout.txt" && name != "stderr.txt") names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
  }
};

// The arguments of a golden case, quoted for the shell.
std::string GoldenArgs(const std::string& name) {
  for (const GoldenCase& c : ReadCases()) {
    if (c.name != name) continue;
    std::string args;
    for (const std::string& word : c.args) args += " '" + word + "'";
    return args;
  }
  ADD_FAILURE() << name << " is not in cases.txt";
  return "";
}

// The last prediction block of each population in a golden predictions.txt: X and text.
std::map<int, std::vector<std::pair<std::string, std::string>>> LastPredictions(
    const std::string& name) {
  std::map<int, std::vector<std::pair<std::string, std::string>>> last;
  int population = 0;
  for (const std::string& line : Split(ReadText(kGoldenDir / name / "predictions.txt"))) {
    if (line.rfind("generation ", 0) == 0) {
      population = std::stoi(line.substr(line.rfind(' ') + 1));
      last[population].clear();
    } else {
      const auto cells = Split(line, '\t');
      last[population].emplace_back(cells.at(0), cells.at(1));
    }
  }
  return last;
}

// The best training and validation error texts of each population's last step.
std::map<int, std::pair<std::string, std::string>> LastErrors(const std::string& csv) {
  std::map<int, std::pair<std::string, std::string>> errors;
  const auto lines = Split(csv);
  for (std::size_t r = 1; r < lines.size(); ++r) {
    const auto f = Split(lines[r], ',');
    errors[std::stoi(f.at(1))] = {f.at(2), f.at(3)};
  }
  return errors;
}

// Seeded golden runs without normalization: the predictions file holds the values whose
// 15-digit texts the run wrote in its prediction grid, the model file the errors it printed
// and settings that repeat the run, and asking for them leaves the printed CSV as it was.
TEST_F(Subcommands, RunPredictionsAndModelHoldTheRunsOwnNumbers) {
  for (const char* name : {"proportional-elite", "three-all-functions", "training-only"}) {
    SCOPED_TRACE(name);
    const Outcome o = Run("run" + GoldenArgs(name) + " --model m.json --predictions p.csv");
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, ReadText(kGoldenDir / name / "stdout.csv"));
    const std::vector<Row> rows = Rows(ReadText(Path("p.csv")));
    const Json model = Json::parse(ReadText(Path("m.json")));
    const auto errors = LastErrors(o.out);
    for (const auto& [population, grid] : LastPredictions(name)) {
      const std::vector<Row> mine = Select(rows, population, {"training", "validation"});
      ASSERT_EQ(mine.size(), grid.size()) << "population " << population;
      for (std::size_t r = 0; r < grid.size(); ++r) {
        EXPECT_EQ(mine[r].x, grid[r].first) << r;
        EXPECT_EQ(vobrix::FormatGeneral(Number(mine[r].predicted), 15), grid[r].second) << r;
      }
      const Json& saved = model["populations"][population - 1];
      EXPECT_EQ(saved["trainingMse"], errors.at(population).first);
      EXPECT_EQ(saved.value("validationMse", ""), errors.at(population).second);
    }
    // The settings the model records are the whole run: given back, they repeat it.
    std::string again;
    for (const auto& [option, text] : model["settings"].items()) {
      again += " " + option;
      for (const std::string& word : Split(text.get<std::string>(), ' '))
        again += " '" + word + "'";
    }
    EXPECT_EQ(Run(again).out, o.out) << again;
  }
}

// predict on the data a run saw gives the run's rows bit for bit: on the training file its
// training rows, on training and validation joined also its validation rows and its forecast.
// With --linear-scaling each population's a and b go into the model (and only then), and the
// run's validation error is that of the same predictions at 15 digits.
TEST_F(Subcommands, PredictRepeatsTheRunsPredictionsAndForecast) {
  const std::pair<const char*, const char*> cases[] = {
      {"plain", "--seed 5 --populations 2 --functions +,-,*,/,sin,sqrt"},
      {"normalized", "--seed 9 --normalize --functions +,-,*,/,cos,ln"},
      {"scaled", "--seed 4 --populations 2 --linear-scaling"},
      {"scaled and normalized", "--seed 9 --normalize --linear-scaling --functions +,-,*,/,sin"}};
  for (const auto& [name, args] : cases) {
    SCOPED_TRACE(name);
    const Outcome run =
        RunSmall(std::string(args) + " --model m.json --predictions p.csv --horizon 4");
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<Row> rows = Rows(ReadText(Path("p.csv")));
    const Json model = Json::parse(ReadText(Path("m.json")));
    const bool scaled = std::string(args).find("--linear-scaling") != std::string::npos;
    EXPECT_EQ(model["settings"].contains("--linear-scaling"), scaled);
    const auto errors = LastErrors(run.out);
    const int populations = static_cast<int>(model["populations"].size());
    for (int p = 1; p <= populations; ++p) {
      EXPECT_EQ(model["populations"][p - 1].contains("scaling"), scaled);
      const std::string use = " --model m.json --population " + std::to_string(p);
      const Outcome onTraining = Run("predict --data train.txt" + use);
      ASSERT_EQ(onTraining.status, 0) << onTraining.err;
      const auto training = Select(rows, p, {"training"});
      EXPECT_EQ(training.size(), 55u);
      EXPECT_EQ(Select(Rows(onTraining.out), p, {"data"}), training);
      const std::string trainingMse = model["populations"][p - 1]["trainingMse"];
      if (std::string(name) == "plain") {
        EXPECT_EQ(onTraining.err, "population " + std::to_string(p) + ": MSE " + trainingMse +
                                      " over 55 one-step predictions\n");
      }
      const Outcome onJoined = Run("predict --data joined.txt --horizon 4" + use);
      ASSERT_EQ(onJoined.status, 0) << onJoined.err;
      const auto joined = Rows(onJoined.out);
      EXPECT_EQ(Select(joined, p, {"data"}), Select(rows, p, {"training", "validation"}));
      EXPECT_EQ(Select(joined, p, {"forecast"}), Select(rows, p, {"forecast"}));
      EXPECT_EQ(Select(joined, p, {"forecast"}).size(), 4u);
      if (std::string(name) != "scaled") continue;
      double sum = 0.0;
      const std::vector<Row> validation = Select(rows, p, {"validation"});
      for (const Row& row : validation) {
        const double d =
            Number(row.actual) - Number(vobrix::FormatGeneral(Number(row.predicted), 15));
        sum += d * d;
      }
      EXPECT_EQ(sum / static_cast<double>(validation.size()), Number(errors.at(p).second));
    }
  }
}

// y = X4 + (X4 - X3), written by hand, on X stepping by 2: its predictions and forecast (X going
// on by the same step) are worked out here.
TEST_F(Subcommands, ForecastOfALinearProgramIsTheHandComputedOne) {
  Write("linear.json",
        R"({"format": "vobrix-model", "version": 1, "programVersion": "1.0", "windowSize": 5,
            "functions": ["+", "-"],
            "populations": [{"program": ["+", "X4", "-", "X4", "X3"], "trainingMse": "0"}]})");
  Write("series.txt", "10 3\n12 2.5\n14 2\n16 1.75\n18 1.5\n20 1.25\n22 1\n");
  const Outcome o = Run("predict --model linear.json --data series.txt --horizon 2");
  ASSERT_EQ(o.status, 0) << o.err;
  const std::vector<Row> expected = {{0, "data", "20", "1.25", "1.25"},
                                     {0, "data", "22", "1", "1"},
                                     {0, "forecast", "24", "", "0.75"},
                                     {0, "forecast", "26", "", "0.5"}};
  std::vector<Row> rows = Rows(o.out);
  for (Row& row : rows) row.population = 0;
  EXPECT_EQ(rows, expected);
  EXPECT_EQ(o.err, "population 1: MSE 0 over 2 one-step predictions\n");
}

// export writes to --output what it prints without it (the exported code itself is compiled
// and checked against the predictor where it is made).
TEST_F(Subcommands, ExportWritesItsOutputFile) {
  ASSERT_EQ(RunSmall("--seed 21 --model m.json").status, 0);
  const Outcome printed = Run("export --model m.json --format c");
  ASSERT_EQ(printed.status, 0) << printed.err;
  ASSERT_EQ(Run("export --model m.json --format c --output model.c").status, 0);
  EXPECT_EQ(ReadText(Path("model.c")), printed.out);
}

// The summary scores the baselines on the programs' own targets: persistence is its own Theil
// reference, AR(p) beats it on the validation data of a sine (on the training data its first
// targets reach before the series when p exceeds the window), and every ratio divides the
// figures beside it.
TEST_F(Subcommands, SummaryHoldsTheBaselinesOnTheProgramsTargets) {
  const Outcome run = RunSmall(
      "--seed 4 --populations 2 --pop-size 300 --generations 10 --model m.json --summary s.json");
  ASSERT_EQ(run.status, 0) << run.err;
  const Json summary = Json::parse(ReadText(Path("s.json")));
  const Json model = Json::parse(ReadText(Path("m.json")));
  std::vector<double> y;
  for (const std::string& line : Split(ReadText(Path("joined.txt")))) {
    y.push_back(Number(Split(line, '\t').at(1)));
  }
  // Persistence over the programs' targets, worked out here.
  const std::pair<const char*, std::pair<std::size_t, std::size_t>> parts[] = {
      {"training", {5, 60}}, {"validation", {60, 70}}};
  for (const auto& [part, range] : parts) {
    SCOPED_TRACE(part);
    const Json& baselines = summary["baselines"][part];
    double sum = 0.0;
    for (std::size_t t = range.first; t < range.second; ++t) sum += std::pow(y[t] - y[t - 1], 2);
    const double persistence = baselines["persistence"]["mse"];
    EXPECT_EQ(baselines["targets"], range.second - range.first);
    EXPECT_NEAR(persistence, sum / static_cast<double>(range.second - range.first), 1e-12);
    EXPECT_EQ(baselines["persistence"]["theilU"], 1.0);
    // Theil's U compares summed squares on the same targets: its square is the ratio of MSEs.
    const double ar = baselines["ar"]["mse"];
    EXPECT_NEAR(std::pow(baselines["ar"]["theilU"].get<double>(), 2), ar / persistence, 1e-12);
    if (std::string(part) == "validation") {
      EXPECT_LT(ar, persistence / 1000);
    }
    for (int p = 0; p < 2; ++p) {
      const Json& score = summary["populations"][p][part];
      const double mse = score["mse"];
      const std::string saved =
          model["populations"][p]
               [std::string(part) == "training" ? "trainingMse" : "validationMse"];
      EXPECT_EQ(mse, Number(saved));
      EXPECT_EQ(score["msePerPersistence"], mse / persistence);
      EXPECT_EQ(score["msePerAr"], mse / ar);
      EXPECT_NEAR(std::pow(score["theilU"].get<double>(), 2), mse / persistence,
                  1e-9 * mse / persistence);
    }
  }
  const int order = summary["ar"]["p"];
  EXPECT_GE(order, 1);
  EXPECT_EQ(summary["ar"]["coefficients"].size(), static_cast<std::size_t>(order));
  EXPECT_GE(summary["wallSeconds"], 0.0);

  // predict scores the same way on the data it is given.
  const Outcome predict = Run("predict --model m.json --data train.txt --summary t.json");
  ASSERT_EQ(predict.status, 0) << predict.err;
  const Json data = Json::parse(ReadText(Path("t.json")));
  EXPECT_EQ(data["baselines"]["data"]["targets"], 55);
  EXPECT_EQ(data["baselines"]["data"]["persistence"],
            summary["baselines"]["training"]["persistence"]);
  EXPECT_NE(predict.err.find(data["populations"][0]["data"]["mse"].dump()), std::string::npos)
      << predict.err;
}

// Without the new options `run` is the bare command: same output, messages and statuses.
TEST_F(Subcommands, RunWithoutNewOptionsIsTheBareCommand) {
  for (const std::string args :
       {"--train train.txt --validation valid.txt --seed 3 --pop-size 30 --generations 3",
        "--train train.txt --seed 3 --pop-size 30 --generations 2 --populations 2 -q",
        "--train train.txt --window 0", "--bogus", ""}) {
    SCOPED_TRACE(args);
    const Outcome bare = Run(args);
    const Outcome run = Run("run " + args);
    EXPECT_EQ(run.status, bare.status);
    EXPECT_EQ(run.out, bare.out);
    EXPECT_EQ(run.err, bare.err);
  }
}

// Each mistake ends with status 2, one line on standard error naming the cause, nothing on
// standard output, and no file written or left behind.
TEST_F(Subcommands, BadInputExitsTwoWithOneLineAndWritesNothing) {
  ASSERT_EQ(RunSmall("--seed 2 --model m.json").status, 0);
  Write("short.txt", "0\t1\n1\t2\n");
  const std::string predict = "predict --model m.json --data train.txt ";
  const std::string run = "run --train train.txt --pop-size 20 --generations 2 ";
  const std::pair<std::string, std::string> cases[] = {
      {"predict --model none.json --data train.txt", "--model: none.json: cannot be opened"},
      {"export --model m.json --format rust", "--format: \"rust\" is not one of text, c"},
      {"export --model m.json", "--format is required"},
      {"export --model m.json --format c --population 2", "the model holds 1 population(s)"},
      {"export --model m.json --format c --population 0", "--population: \"0\" is not a whole"},
      {predict + "--population one", "--population: \"one\" is not a whole number"},
      {predict + "--horizon -1", "--horizon: \"-1\" is not a whole number from 0 to 1000000"},
      {predict + "--horizon 1000001", "--horizon: \"1000001\""},
      {predict + "--horizon 2x", "--horizon: \"2x\""},
      {"predict --model m.json --data short.txt", "--data: 'short.txt': the series needs more"},
      {"predict --model m.json --data none.txt", "Cannot open the file"},
      {predict + "--predictions train.txt", "--predictions: 'train.txt' is the data file"},
      {predict + "--summary ./m.json", "--summary: './m.json' is the model file"},
      {predict + "--summary /dev/full", "--summary: cannot write '/dev/full': No space left"},
      {run + "--horizon 3", "--horizon: the forecast goes to --predictions FILE"},
      {run + "--predictions p.csv --horizon big", "--horizon: \"big\""},
      {run + "--model train.txt", "--model: 'train.txt' is the training file"},
      {run + "--model a.json --summary a.json", "--summary: 'a.json' is also the file of --model"},
      {run + "--model a.json --window 0", "\"Window Size\""},
      {"run --train train.txt --model", "--model"},
      {"predict --data train.txt", "--model is required"}};
  const std::vector<std::string> before = Files();
  const std::string data = ReadText(Path("train.txt")) + ReadText(Path("m.json"));
  for (const auto& [args, part] : cases) {
    const Outcome o = Run(args);
    EXPECT_EQ(o.status, 2) << args << "\n" << o.err;
    EXPECT_EQ(Split(o.err).size(), 1u) << args << "\n" << o.err;
    EXPECT_EQ(o.err.rfind("vobrix-cli: ", 0), 0u) << o.err;
    EXPECT_NE(o.err.find(part), std::string::npos) << args << "\n" << o.err;
    EXPECT_EQ(o.out, "") << args;
    EXPECT_EQ(Files(), before) << args;
  }
  EXPECT_EQ(ReadText(Path("train.txt")) + ReadText(Path("m.json")), data);
}

}  // namespace
