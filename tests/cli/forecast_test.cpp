// vobrix-cli forecast and merge end to end: the model depends on the seed and the training data
// only (never on the validation data or the thread count), shards merged through GNU parallel
// give the unsharded model byte for byte, predict repeats the ensemble's rows, and every bad
// input ends with status 2 and one line.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "cli_fixture.h"

namespace {

using vobrix::cli::testing::CliFixture;
using vobrix::cli::testing::Outcome;
using vobrix::cli::testing::ReadText;
using vobrix::cli::testing::Split;

const std::string kData = VOBRIX_DATA_DIR;
// Small and quick: three members of the smallest work the budget gives.
const std::string kForecast =
    "forecast --train '" + kData + "/seasonal-train.txt' --seed 11 --runs 3 --budget 0.01 ";

class Forecast : public CliFixture {
 protected:
  std::string Model(const std::string& name) const { return ReadText(Path(name)); }
  void ExpectSuccess(const Outcome& o) const { ASSERT_EQ(o.status, 0) << o.err; }
};

TEST_F(Forecast, TheModelDependsOnNeitherTheValidationDataNorTheThreads) {
  const std::string validation = ReadText(kData + "/seasonal-validation.txt");
  Write("changed.txt", "200\t1000\n201\t-1000\n202\t0.5\n");
  ExpectSuccess(Run(kForecast + "--threads 1 --model a.json --validation '" + kData +
                    "/seasonal-validation.txt'"));
  ExpectSuccess(Run(kForecast + "--threads 2 --model b.json --validation changed.txt"));
  ExpectSuccess(Run(kForecast + "--threads 2 --model c.json"));
  EXPECT_FALSE(validation.empty());
  EXPECT_EQ(Model("a.json"), Model("b.json"));
  EXPECT_EQ(Model("a.json"), Model("c.json"));
  ExpectSuccess(Run("forecast --train '" + kData +
                    "/seasonal-train.txt' --seed 12 --runs 3 --budget 0.01 --model d.json"));
  EXPECT_NE(Model("a.json"), Model("d.json"));
  // Without linear scaling (on by default) too: the same bytes for any thread count, and a
  // model of its own.
  ExpectSuccess(Run(kForecast + "--no-linear-scaling --threads 1 --model e.json"));
  ExpectSuccess(Run(kForecast + "--no-linear-scaling --threads 2 --model f.json"));
  EXPECT_EQ(Model("e.json"), Model("f.json"));
  EXPECT_NE(Model("a.json").find("\"scaling\""), std::string::npos);
  EXPECT_EQ(Model("e.json").find("\"scaling\""), std::string::npos);
}

TEST_F(Forecast, ShardsRunThroughGnuParallelMergeIntoTheUnshardedModel) {
  ExpectSuccess(Run(kForecast + "--model whole.json"));
  // Three shards at once, as a user would start them on the cores of one machine.
  const std::string parallel = "cd '" + Path("") + "' && parallel --halt now,fail=1 \"'" +
                               std::string(VOBRIX_CLI) + "' " + kForecast +
                               "--shard {}/3 --model part{}.json\" ::: 1 2 3";
  ASSERT_EQ(std::system(parallel.c_str()), 0) << parallel;
  ExpectSuccess(Run("merge --model merged.json part3.json part1.json part2.json"));
  EXPECT_EQ(Model("merged.json"), Model("whole.json"));
  EXPECT_NE(Model("part1.json"), Model("part2.json"));

  // Which parts merge is tested where the merge is made; here that a refusal ends with status
  // 2, and that a part alone does not predict.
  const Outcome missing = Run("merge --model m.json part1.json part3.json");
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.err.find("shard 2/3 is missing"), std::string::npos) << missing.err;
  const Outcome partial =
      Run("predict --model part1.json --data '" + kData + "/seasonal-train.txt'");
  EXPECT_EQ(partial.status, 2);
  EXPECT_NE(partial.err.find("merge the parts"), std::string::npos) << partial.err;
}

// Population 0 is the ensemble; predict on the training file repeats its training rows, and
// every prediction lies within the clip the model holds.
TEST_F(Forecast, PredictRepeatsTheEnsemblesRows) {
  ExpectSuccess(Run(kForecast +
                    "--model m.json --predictions p.csv --summary s.json "
                    "--horizon 4 --validation '" +
                    kData + "/seasonal-validation.txt'"));
  const std::vector<std::string> lines = Split(Model("p.csv"));
  std::vector<std::string> ensemble, forecast;
  int members = 0;
  for (const std::string& line : lines) {
    const std::vector<std::string> f = Split(line, ',');
    if (f[0] == "0" && f[1] == "training") ensemble.push_back(f[2] + "," + f[4]);
    if (f[0] == "0" && f[1] == "forecast") forecast.push_back(f[4]);
    if (f[0] == "3" && f[1] == "training") ++members;
  }
  EXPECT_EQ(forecast.size(), 4u);
  EXPECT_GT(members, 0);
  const Outcome predicted = Run("predict --model m.json --data '" + kData + "/seasonal-train.txt'");
  ExpectSuccess(predicted);
  std::vector<std::string> again;
  for (const std::string& line : Split(predicted.out)) {
    const std::vector<std::string> f = Split(line, ',');
    if (f[1] == "data") again.push_back(f[2] + "," + f[4]);
  }
  EXPECT_EQ(again, ensemble);
  EXPECT_NE(Model("s.json").find("\"windowChoice\""), std::string::npos);
  // The season of these data is taken out first; asked not to, the model holds no differencing.
  EXPECT_NE(Model("m.json").find("\"difference\": ["), std::string::npos);
  ExpectSuccess(Run(kForecast + "--difference none --model n.json"));
  EXPECT_EQ(Model("n.json").find("\"difference\""), std::string::npos);
  // The one member of a one-run ensemble predicts what the ensemble does, differencing and all.
  ExpectSuccess(Run("forecast --train '" + kData +
                    "/seasonal-train.txt' --seed 11 --runs 1 --budget 0.01 --difference 1,12 "
                    "--predictions one.csv"));
  std::vector<std::string> rows[2];
  for (const std::string& line : Split(Model("one.csv"))) {
    const std::vector<std::string> f = Split(line, ',');
    if (f[0] == "0" || f[0] == "1") rows[f[0] == "1"].push_back(f[1] + f[2] + "," + f[4]);
  }
  EXPECT_FALSE(rows[0].empty());
  EXPECT_EQ(rows[0], rows[1]);
  const Outcome member =
      Run("predict --model m.json --population 1 --data '" + kData + "/seasonal-train.txt'");
  EXPECT_EQ(member.status, 2);
  EXPECT_NE(member.err.find("ensemble"), std::string::npos) << member.err;
}

TEST_F(Forecast, BadUsageEndsWithStatusTwoAndOneLine) {
  const std::string train = " --train '" + kData + "/seasonal-train.txt'";
  Write("short.txt", "0\t1\n1\t2\n2\t3\n");
  const struct {
    std::string args, says;
  } cases[] = {
      {"forecast --seed 1", "--train"},
      {"forecast" + train + " --runs 0", "--runs"},
      {"forecast" + train + " --budget -1", "--budget"},
      {"forecast" + train + " --budget abc", "--budget"},
      {"forecast" + train + " --clip-margin -0.5", "--clip-margin"},
      {"forecast" + train + " --difference 12,1", "--difference"},
      {"forecast" + train + " --difference 0", "--difference"},
      {"forecast" + train + " --difference 1,2,3,4", "--difference"},
      {"forecast" + train + " --difference 1,,2", "--difference"},
      {"forecast" + train + " --difference 995", "leaves"},
      {"forecast" + train + " --horizon 3", "--predictions"},
      {"forecast" + train + " --shard 1/3", "--shard"},
      {"forecast" + train + " --runs 2 --shard 1/3 --model m.json", "--shard"},
      {"forecast" + train + " --shard 0/3 --model m.json", "--shard"},
      {"forecast" + train + " --shard 1/3 --model m.json --summary s.json", "merge the parts"},
      {"forecast --train short.txt --model m.json", "at least 10"},
      {"forecast --train missing.txt", "missing.txt"},
      {"forecast" + train + " --model '" + kData + "/seasonal-train.txt'", "--model"},
      {"merge --model m.json", "parts"},
      {"merge --model m.json missing.json", "missing.json"},
  };
  for (const auto& c : cases) {
    const Outcome o = Run(c.args);
    EXPECT_EQ(o.status, 2) << c.args;
    EXPECT_EQ(Split(o.err).size(), 1u) << c.args << ": " << o.err;
    EXPECT_NE(o.err.find(c.says), std::string::npos) << c.args << ": " << o.err;
  }
}

}  // namespace
