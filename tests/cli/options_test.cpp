// The command line parser and the output formats of vobrix-cli.
#include "cli/options.h"

#include <gtest/gtest.h>

#include <limits>

#include "cli/output.h"

namespace vobrix::cli {
namespace {

CliOptions Parse(std::vector<std::string> args) {
  args.insert(args.begin(), {"--train", "t.txt"});
  return ParseOptions(args);
}

TEST(CliOptions, PerPopulationValuesOneForAllOrOneEachAndProblemOptions) {
  const CliOptions o = Parse({"--generations", "100,50,70", "--populations", "3", "--pop-size",
                              "200", "--selection=random,tournament,proportional", "--elite",
                              "off,5,off", "--functions", "sin,sqrt,+", "--range", "-1", "1"});
  EXPECT_EQ(o.populations, 3);
  for (int p = 0; p < 3; ++p) EXPECT_EQ(o.panels[p].populationSize, "200");
  EXPECT_EQ(o.panels[2].generations, "70");
  EXPECT_EQ(o.panels[3].generations, "50");  // unused panels keep the defaults
  EXPECT_EQ(o.panels[0].selectionIndex, 2);
  EXPECT_EQ(o.panels[1].selectionIndex, 1);
  EXPECT_FALSE(o.panels[0].eliteChecked);
  EXPECT_EQ(o.panels[1].elite, "5");
  EXPECT_EQ(o.problem.ticked, (std::array<bool, 10>{true, false, false, false, true, false, false,
                                                    false, false, true}));
  EXPECT_EQ(o.problem.lowerText + " " + o.problem.upperText, "-1 1");
}

TEST(CliOptions, BadUsageIsRefusedWithTheOptionNamed) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"--bogus"}, "unknown option \"--bogus\""},
      {{"--populations", "5"}, "--populations"},
      {{"--populations", "2", "--mutation", "0.1,0.2,0.3"}, "--mutation: give one value, or 2"},
      {{"--functions", "+,exp"}, "\"exp\""},
      {{"--seed", "4294967296"}, "--seed"},
      {{"--window"}, "--window: a value is missing"},
      {{"--quiet=yes"}, "--quiet takes no value"}};
  for (const auto& [args, part] : cases) {
    try {
      Parse(args);
      ADD_FAILURE() << "accepted: " << args[0];
    } catch (const UsageError& e) {
      EXPECT_NE(std::string(e.what()).find(part), std::string::npos) << e.what();
    }
  }
}

TEST(CliOutput, NumbersQuotesAndRows) {
  EXPECT_EQ(FormatNumber(0.1), "0.10000000000000001");
  EXPECT_EQ(FormatNumber(std::numeric_limits<double>::infinity()), "inf");
  EXPECT_EQ(FormatNumber(-std::numeric_limits<double>::infinity()), "-inf");
  EXPECT_EQ(FormatNumber(-std::numeric_limits<double>::quiet_NaN()), "nan");
  EXPECT_EQ(CsvQuote(" (X0+\"a\") "), "\" (X0+\"\"a\"\") \"");

  StepReport report;
  report.generation = 3;
  report.population = 1;
  report.bestFitness = 0.5;
  report.averageLength = 7;
  report.bestLength = 9;
  report.bestProgram = "X0";
  EXPECT_EQ(CsvRow(report), "3,2,0.5,,7,9,\"X0\"\n");
  report.validationError = std::numeric_limits<double>::infinity();
  EXPECT_EQ(CsvRow(report), "3,2,0.5,inf,7,9,\"X0\"\n");
  EXPECT_EQ(ProgressLine(5, 10), "\r[" + std::string(20, '#') + std::string(20, '.') + "] 5/10");
}

}  // namespace
}  // namespace vobrix::cli
