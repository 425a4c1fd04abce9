// vobrix-cli forecast and merge end to end: the model depends on the seed and the training data
// only (never on the validation data or the thread count), shards merged through GNU parallel
// give the unsharded model byte for byte, predict repeats the ensemble's rows, and every bad
// input ends with status 2 and one line.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "cli_fixture.h"

namespace vobrix::cli::testing {
namespace {

const std::string kData = VOBRIX_DATA_DIR;
const std::string kSeries = " '" + kData + "/seasonal-train.txt'", kTrain = " --train" + kSeries;

// Small and quick: members of the smallest work the budget gives.
std::string Forecasting(int seed = 11, int runs = 3) {
  return "forecast" + kTrain + " --seed " + std::to_string(seed) + " --runs " +
         std::to_string(runs) + " --budget 0.01 ";
}

class Forecast : public CliFixture {
 protected:
  void ExpectSuccess(const std::string& args) const {
    const Outcome o = Run(args);
    ASSERT_EQ(o.status, 0) << args << "\n" << o.err;
  }
};

TEST_F(Forecast, TheModelDependsOnNeitherTheValidationDataNorTheThreads) {
  Write("changed.txt", "200\t1000\n201\t-1000\n202\t0.5\n");
  // Without linear scaling (on by default) too: the same bytes for any thread count, and a
  // model of its own.
  const std::pair<const char*, std::string> runs[] = {
      {"a", Forecasting() + "--threads 1 --validation '" + kData + "/seasonal-validation.txt'"},
      {"b", Forecasting() + "--threads 2 --validation changed.txt"},
      {"c", Forecasting() + "--threads 2"},
      {"d", Forecasting(12)},
      {"e", Forecasting() + "--no-linear-scaling --threads 1"},
      {"f", Forecasting() + "--no-linear-scaling --threads 2"}};
  for (const auto& [name, args] : runs) ExpectSuccess(args + " --model " + name + ".json");
  EXPECT_EQ(Read("a.json"), Read("b.json"));
  EXPECT_EQ(Read("a.json"), Read("c.json"));
  EXPECT_NE(Read("a.json"), Read("d.json"));
  EXPECT_EQ(Read("e.json"), Read("f.json"));
  EXPECT_NE(Read("a.json").find("\"scaling\""), std::string::npos);
  EXPECT_EQ(Read("e.json").find("\"scaling\""), std::string::npos);
}

TEST_F(Forecast, ShardsRunThroughGnuParallelMergeIntoTheUnshardedModel) {
  ExpectSuccess(Forecasting() + "--model whole.json");
  // Three shards at once, as a user would start them on the cores of one machine.
  const std::string parallel = "cd '" + Path("") + "' && parallel --halt now,fail=1 \"'" +
                               std::string(VOBRIX_CLI) + "' " + Forecasting() +
                               "--shard {}/3 --model part{}.json\" ::: 1 2 3";
  ASSERT_EQ(std::system(parallel.c_str()), 0) << parallel;
  ExpectSuccess("merge --model merged.json part3.json part1.json part2.json");
  EXPECT_EQ(Read("merged.json"), Read("whole.json"));
  EXPECT_NE(Read("part1.json"), Read("part2.json"));

  // Which parts merge is tested where the merge is made; here that a refusal ends with status
  // 2, and that a part alone does not predict.
  ExpectRefused(Run("merge --model m.json part1.json part3.json"), "shard 2/3 is missing", "");
  ExpectRefused(Run("predict --model part1.json --data" + kSeries), "merge the parts", "");
}

// Population 0 is the ensemble; predict on the training file repeats its training rows, and
// every prediction lies within the clip the model holds.
TEST_F(Forecast, PredictRepeatsTheEnsemblesRows) {
  const Outcome made =
      Run(Forecasting() + "--model m.json --predictions p.csv --summary s.json --horizon 4" +
          " --validation '" + kData + "/seasonal-validation.txt'");
  ASSERT_EQ(made.status, 0) << made.err;
  std::vector<std::string> ensemble, forecast;
  std::map<std::string, std::pair<double, int>> squares;  // population -> validation errors
  for (const std::string& line : Split(Read("p.csv"))) {
    const std::vector<std::string> f = Split(line, ',');
    if (f[0] == "0" && f[1] == "training") ensemble.push_back(f[2] + "," + f[4]);
    if (f[0] == "0" && f[1] == "forecast") forecast.push_back(f[4]);
    if (f[1] == "validation") {
      const double e = std::stod(f[3]) - std::stod(f[4]);
      squares[f[0]].first += e * e;
      ++squares[f[0]].second;
    }
  }
  EXPECT_EQ(forecast.size(), 4u);
  // The forecast and the 3 members of each of its two ways (the season taken out, and left to
  // the formulas), each scored on standard output over the same validation targets.
  ASSERT_EQ(squares.size(), 7u);
  const std::vector<std::string> lines = Split(made.out);
  ASSERT_EQ(lines.size(), 8u);
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const std::vector<std::string> f = Split(lines[i], ',');
    const auto& [sum, count] = squares.at(f[0]);
    EXPECT_NEAR(std::stod(f[3]), sum / count, 1e-9 * sum / count) << lines[i];
  }
  const Outcome predicted = Run("predict --model m.json --data" + kSeries);
  ASSERT_EQ(predicted.status, 0) << predicted.err;
  std::vector<std::string> again;
  for (const std::string& line : Split(predicted.out)) {
    const std::vector<std::string> f = Split(line, ',');
    if (f[1] == "data") again.push_back(f[2] + "," + f[4]);
  }
  EXPECT_EQ(again, ensemble);
  EXPECT_NE(Read("s.json").find("\"windowChoice\""), std::string::npos);
  // The season of these data is taken out first; asked not to, the model holds no differencing.
  EXPECT_NE(Read("m.json").find("\"difference\": ["), std::string::npos);
  ExpectSuccess(Forecasting() + "--difference none --model n.json");
  EXPECT_EQ(Read("n.json").find("\"difference\""), std::string::npos);
  // The one member of a one-run ensemble predicts what the ensemble does, differencing and all.
  ExpectSuccess(Forecasting(11, 1) + "--difference 1,12 --predictions one.csv");
  std::vector<std::string> rows[2];
  for (const std::string& line : Split(Read("one.csv"))) {
    const std::vector<std::string> f = Split(line, ',');
    if (f[0] == "0" || f[0] == "1") rows[f[0] == "1"].push_back(f[1] + f[2] + "," + f[4]);
  }
  EXPECT_FALSE(rows[0].empty());
  EXPECT_EQ(rows[0], rows[1]);
  ExpectRefused(Run("predict --model m.json --population 1 --data" + kSeries), "used as one", "");
}

TEST_F(Forecast, BadUsageEndsWithStatusTwoAndOneLine) {
  Write("short.txt", "0\t1\n1\t2\n2\t3\n");
  const std::string forecast = "forecast" + kTrain;
  const std::pair<std::string, std::string> cases[] = {
      {"forecast --seed 1", "--train"},
      {forecast + " --runs 0", "--runs"},
      {forecast + " --budget -1", "--budget"},
      {forecast + " --budget abc", "--budget"},
      {forecast + " --clip-margin -0.5", "--clip-margin"},
      {forecast + " --difference 12,1", "--difference"},
      {forecast + " --difference 0", "--difference"},
      {forecast + " --difference 1,2,3,4", "--difference"},
      {forecast + " --difference 1,,2", "--difference"},
      {forecast + " --difference 995", "leaves"},
      {forecast + " --horizon 3", "--predictions"},
      {forecast + " --shard 1/3", "--shard"},
      {forecast + " --runs 2 --shard 1/3 --model m.json", "--shard"},
      {forecast + " --shard 0/3 --model m.json", "--shard"},
      {forecast + " --shard 1/3 --model m.json --summary s.json", "merge the parts"},
      {"forecast --train short.txt --model m.json", "at least 10"},
      {"forecast --train missing.txt", "missing.txt"},
      {forecast + " --model '" + kData + "/seasonal-train.txt'", "--model"},
      {"merge --model m.json", "parts"},
      {"merge --model m.json missing.json", "missing.json"},
  };
  for (const auto& [args, says] : cases) ExpectRefused(Run(args), says, args);
}

}  // namespace
}  // namespace vobrix::cli::testing
