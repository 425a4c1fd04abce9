// vobrix-cli run, predict and export end to end: the files a user takes away hold the run's own
// numbers, predict and the exported C function repeat them, and every bad input ends with
// status 2 and one line.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "cli_fixture.h"
#include "problem/textconv.h"

namespace vobrix::cli::testing {
namespace {

using Json = nlohmann::json;

double Number(const std::string& text) {
  return std::strtod(text.c_str(), nullptr);
}

// The rows of a predictions file of one population and of the given parts, as
// "x,actual,predicted".
std::vector<std::string> Select(const std::string& csv, int population,
                                const std::vector<std::string>& parts) {
  const std::vector<std::string> lines = Split(csv);
  EXPECT_EQ(lines.empty() ? "" : lines[0], "population,part,x,actual,predicted");
  std::vector<std::string> selected;
  for (std::size_t r = 1; r < lines.size(); ++r) {
    const std::vector<std::string> f = Split(lines[r], ',');
    EXPECT_EQ(f.size(), 5u) << lines[r];
    if (f.size() == 5 && std::stoi(f[0]) == population &&
        std::find(parts.begin(), parts.end(), f[1]) != parts.end()) {
      selected.push_back(f[2] + "," + f[3] + "," + f[4]);
    }
  }
  return selected;
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

class Subcommands : public SineFixture {
 protected:
  // A quick seeded run over train.txt and valid.txt.
  Outcome RunSmall(const std::string& extra) const {
    return Run("run --train train.txt --validation valid.txt --pop-size 60 --generations 5 " +
               extra);
  }
};

// Seeded golden runs without normalization: the predictions file holds the values whose
// 15-digit texts the run wrote in its prediction grid, the model file the errors it printed
// and settings that repeat the run, and asking for them leaves the printed CSV as it was.
TEST_F(Subcommands, RunPredictionsAndModelHoldTheRunsOwnNumbers) {
  for (const GoldenCase& c : ReadCases()) {
    if (std::count(c.args.begin(), c.args.end(), "--normalize") > 0) continue;
    SCOPED_TRACE(c.name);
    const Outcome o = Run("run" + Quoted(c.args) + " --model m.json --predictions p.csv");
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, ReadText(kGoldenDir / c.name / "stdout.csv"));
    // The last prediction block of each population in the golden grid texts: X and text.
    std::map<int, std::vector<std::string>> grids;
    int population = 0;
    for (const std::string& line : Split(ReadText(kGoldenDir / c.name / "predictions.txt"))) {
      if (line.rfind("generation ", 0) == 0) {
        population = std::stoi(line.substr(line.rfind(' ') + 1));
        grids[population].clear();
      } else {
        grids[population].push_back(line);
      }
    }
    const Json model = Json::parse(Read("m.json"));
    const auto errors = LastErrors(o.out);
    for (const auto& [population, grid] : grids) {
      std::vector<std::string> mine;
      for (const std::string& row : Select(Read("p.csv"), population, {"training", "validation"})) {
        mine.push_back(row.substr(0, row.find(',')) + "\t" +
                       FormatGeneral(Number(row.substr(row.rfind(',') + 1)), 15));
      }
      EXPECT_EQ(mine, grid) << "population " << population;
      const Json& saved = model["populations"][population - 1];
      EXPECT_EQ(saved["trainingMse"], errors.at(population).first);
      EXPECT_EQ(saved.value("validationMse", ""), errors.at(population).second);
    }
    // The settings the model records are the whole run: given back, they repeat it.
    std::string again;
    for (const auto& [option, text] : model["settings"].items()) {
      again += " " + option + Quoted(Split(text.get<std::string>(), ' '));
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
    const std::string rows = Read("p.csv");
    const Json model = Json::parse(Read("m.json"));
    const bool scaled = std::string(args).find("--linear-scaling") != std::string::npos;
    EXPECT_EQ(model["settings"].contains("--linear-scaling"), scaled);
    for (int p = 1; p <= static_cast<int>(model["populations"].size()); ++p) {
      EXPECT_EQ(model["populations"][p - 1].contains("scaling"), scaled);
      const std::string use = " --model m.json --population " + std::to_string(p);
      const Outcome onTraining = Run("predict --data train.txt" + use);
      ASSERT_EQ(onTraining.status, 0) << onTraining.err;
      EXPECT_EQ(Select(rows, p, {"training"}).size(), 55u);
      EXPECT_EQ(Select(onTraining.out, p, {"data"}), Select(rows, p, {"training"}));
      if (std::string(name) == "plain") {
        EXPECT_EQ(onTraining.err,
                  "population " + std::to_string(p) + ": MSE " +
                      model["populations"][p - 1]["trainingMse"].get<std::string>() +
                      " over 55 one-step predictions\n");
      }
      const Outcome onJoined = Run("predict --data joined.txt --horizon 4" + use);
      ASSERT_EQ(onJoined.status, 0) << onJoined.err;
      EXPECT_EQ(Select(onJoined.out, p, {"data"}), Select(rows, p, {"training", "validation"}));
      EXPECT_EQ(Select(onJoined.out, p, {"forecast"}), Select(rows, p, {"forecast"}));
      EXPECT_EQ(Select(rows, p, {"forecast"}).size(), 4u);
      if (std::string(name) != "scaled") continue;
      double sum = 0.0;
      const std::vector<std::string> validation = Select(rows, p, {"validation"});
      for (const std::string& row : validation) {
        const std::vector<std::string> f = Split(row, ',');
        const double d = Number(f[1]) - Number(FormatGeneral(Number(f[2]), 15));
        sum += d * d;
      }
      EXPECT_EQ(sum / static_cast<double>(validation.size()),
                Number(LastErrors(run.out).at(p).second));
    }
  }
}

// y = X4 + (X4 - X3), written by hand, on X stepping by 2: its predictions and forecast (X going
// on by the same step) are worked out here. export writes to --output what it prints without
// it (the exported code itself is compiled and checked against the predictor where it is made).
TEST_F(Subcommands, AHandWrittenLinearProgramForecastsAsWorkedOutAndExportsToItsOutputFile) {
  Write("linear.json",
        R"({"format": "vobrix-model", "version": 1, "programVersion": "1.0", "windowSize": 5,
            "functions": ["+", "-"],
            "populations": [{"program": ["+", "X4", "-", "X4", "X3"], "trainingMse": "0"}]})");
  Write("series.txt", "10 3\n12 2.5\n14 2\n16 1.75\n18 1.5\n20 1.25\n22 1\n");
  const Outcome o = Run("predict --model linear.json --data series.txt --horizon 2");
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out,
            "population,part,x,actual,predicted\n1,data,20,1.25,1.25\n1,data,22,1,1\n"
            "1,forecast,24,,0.75\n1,forecast,26,,0.5\n");
  EXPECT_EQ(o.err, "population 1: MSE 0 over 2 one-step predictions\n");
  const Outcome printed = Run("export --model linear.json --format c");
  ASSERT_EQ(printed.status, 0) << printed.err;
  ASSERT_EQ(Run("export --model linear.json --format c --output model.c").status, 0);
  EXPECT_EQ(Read("model.c"), printed.out);
}

// The summary scores the baselines on the programs' own targets: persistence is its own Theil
// reference, AR(p) beats it on the validation data of a sine (on the training data its first
// targets reach before the series when p exceeds the window), and every ratio divides the
// figures beside it.
TEST_F(Subcommands, SummaryHoldsTheBaselinesOnTheProgramsTargets) {
  const Outcome run = RunSmall(
      "--seed 4 --populations 2 --pop-size 300 --generations 10 --model m.json --summary s.json");
  ASSERT_EQ(run.status, 0) << run.err;
  const Json summary = Json::parse(Read("s.json")), model = Json::parse(Read("m.json"));
  std::vector<double> y;
  for (const std::string& line : Split(Read("joined.txt")))
    y.push_back(Number(Split(line, '\t')[1]));
  // Persistence over the programs' targets, worked out here.
  for (const auto& [part, first, end, mse] :
       {std::tuple{"training", 5, 60, "trainingMse"}, {"validation", 60, 70, "validationMse"}}) {
    SCOPED_TRACE(part);
    const Json& baselines = summary["baselines"][part];
    double sum = 0.0;
    for (int t = first; t < end; ++t) sum += std::pow(y[t] - y[t - 1], 2);
    const double persistence = baselines["persistence"]["mse"], ar = baselines["ar"]["mse"];
    EXPECT_EQ(baselines["targets"], end - first);
    EXPECT_NEAR(persistence, sum / (end - first), 1e-12);
    EXPECT_EQ(baselines["persistence"]["theilU"], 1.0);
    // Theil's U compares summed squares on the same targets: its square is the ratio of MSEs.
    EXPECT_NEAR(std::pow(baselines["ar"]["theilU"].get<double>(), 2), ar / persistence, 1e-12);
    EXPECT_LT(ar, first == 60 ? persistence / 1000 : HUGE_VAL);
    for (int p = 0; p < 2; ++p) {
      const Json& score = summary["populations"][p][part];
      const double error = score["mse"];
      EXPECT_EQ(error, Number(model["populations"][p][mse]));
      EXPECT_EQ(score["msePerPersistence"], error / persistence);
      EXPECT_EQ(score["msePerAr"], error / ar);
      EXPECT_NEAR(std::pow(score["theilU"].get<double>(), 2), error / persistence,
                  1e-9 * error / persistence);
    }
  }
  const int order = summary["ar"]["p"];
  EXPECT_GE(order, 1);
  EXPECT_EQ(summary["ar"]["coefficients"].size(), static_cast<std::size_t>(order));
  EXPECT_GE(summary["wallSeconds"], 0.0);

  // predict scores the same way on the data it is given.
  const Outcome predict = Run("predict --model m.json --data train.txt --summary t.json");
  ASSERT_EQ(predict.status, 0) << predict.err;
  const Json data = Json::parse(Read("t.json"));
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
    const Outcome bare = Run(args), run = Run("run " + args);
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
  const std::string data = Read("train.txt") + Read("m.json");
  for (const auto& [args, part] : cases) {
    ExpectRefused(Run(args), part, args);
    EXPECT_EQ(Files(), before) << args;
  }
  EXPECT_EQ(Read("train.txt") + Read("m.json"), data);
}

}  // namespace
}  // namespace vobrix::cli::testing
