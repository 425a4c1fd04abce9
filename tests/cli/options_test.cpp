// The command line parser, the settings file that the window saves and `run --config` reads,
// and the output formats of vobrix-cli.
#include "cli/options.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <nlohmann/json.hpp>
#include <utility>

#include "cli/output.h"
#include "cli_fixture.h"
#include "results/run_settings.h"

namespace vobrix::cli {
namespace {

using results::PanelSettings;
using results::SettingsFileError;
using results::SettingsFromJson;
using results::SettingsToJson;
using testing::Refusal;

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
    EXPECT_NE(Refusal<UsageError>([&] { Parse(args); }).find(part), std::string::npos) << part;
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

PanelSettings Unusual() {
  PanelSettings s;
  s.problem.ticked = {true, false, true, false, true, false, false, true, false, true};
  s.problem.windowSizeText = "7";
  s.problem.constantCountText = "250";
  s.problem.lowerText = "-2.5";
  s.problem.upperText = "3e1";
  s.populations = 3;
  s.panels[1].selectionIndex = 1;
  s.panels[1].tournamentSize = "4";
  s.panels[2].eliteChecked = false;
  s.panels[2].elite = "12.5";
  s.panels[3].breakChecked = true;
  s.panels[3].breakEvery = "9";
  s.panels[0].crossover = "0.6";
  return s;
}

// A round trip keeps every text and choice; and each text sits under its own name in the file,
// both when written and when read, which a round trip alone would not notice of two fields
// that trade places.
TEST(SettingsFile, RoundTripKeepsEveryTextAndChoiceUnderItsOwnName) {
  const PanelSettings s = Unusual();
  const PanelSettings back = SettingsFromJson(SettingsToJson(s));
  EXPECT_EQ(SettingsToJson(back), SettingsToJson(s));
  EXPECT_EQ(back.problem.ticked, s.problem.ticked);
  EXPECT_EQ(back.populations, 3);
  EXPECT_EQ(back.panels[1].selectionIndex, 1);
  EXPECT_FALSE(back.panels[2].eliteChecked);
  EXPECT_EQ(back.panels[2].elite, "12.5");
  EXPECT_TRUE(back.panels[3].breakChecked);

  const std::pair<const char*, std::string PanelTexts::*> fields[] = {
      {"populationSize", &PanelTexts::populationSize},
      {"generations", &PanelTexts::generations},
      {"tournamentSize", &PanelTexts::tournamentSize},
      {"crossover", &PanelTexts::crossover},
      {"mutation", &PanelTexts::mutation},
      {"onePoint", &PanelTexts::onePoint},
      {"maxLength", &PanelTexts::maxLength},
      {"maxInitialDepth", &PanelTexts::maxInitialDepth},
      {"functionRatio", &PanelTexts::functionRatio},
      {"variableRatio", &PanelTexts::variableRatio}};
  PanelSettings numbered;
  for (std::size_t i = 0; i < std::size(fields); ++i) {
    numbered.panels[0].*fields[i].second = std::to_string(11 + i);
  }
  nlohmann::json json = nlohmann::json::parse(SettingsToJson(numbered));
  json["panels"][1] = json["panels"][0];
  const PanelTexts read = SettingsFromJson(json.dump()).panels[1];
  for (std::size_t i = 0; i < std::size(fields); ++i) {
    EXPECT_EQ(json["panels"][0][fields[i].first], std::to_string(11 + i)) << fields[i].first;
    EXPECT_EQ(read.*fields[i].second, std::to_string(11 + i)) << fields[i].first;
  }
}

TEST(SettingsFile, ABadFileIsRefusedNamingTheField) {
  const nlohmann::json good = nlohmann::json::parse(SettingsToJson(Unusual()));
  const struct {
    const char* pointer;
    nlohmann::json value;  // null: the field is left out
    const char* message;
  } cases[] = {
      {"/format", "vobrix-model", "format: must be \"vobrix-settings\""},
      {"/version", 2, "version: must be 1"},
      {"/populations", 5, "populations: must be a whole number from 1 to 4"},
      {"/populations", "2", "populations: must be a whole number from 1 to 4"},
      {"/panels", nlohmann::json::array(), "panels: must be a list of 3 to 4"},
      {"/panels/2/crossover", "0,7", "panels[2].crossover: \"0,7\" is not a number"},
      {"/panels/0/generations", "2.5", "panels[0].generations: \"2.5\" is not a whole number"},
      {"/panels/1/maxLength", 100, "panels[1].maxLength: must be a text"},
      {"/panels/1/selection", "roulette", "panels[1].selection: \"roulette\" is not one of"},
      {"/panels/3/elite/on", "yes", "panels[3].elite.on: must be true or false"},
      {"/panels/3/breakPoint", 0, "panels[3].breakPoint: must be an object"},
      {"/problem/functions/1", "exp", "problem.functions[1]: is not one of"},
      {"/problem/range/high", "ten", "problem.range.high: \"ten\" is not a number"},
      {"/problem/window", "", "problem.window: \"\" is not a whole number"},
      {"/panels/0/mutation", nullptr, "panels[0].mutation: is missing"},
  };
  for (const auto& c : cases) {
    nlohmann::json bad = good;
    const nlohmann::json::json_pointer field(c.pointer);
    if (c.value.is_null()) {
      bad[field.parent_pointer()].erase(field.back());
    } else {
      bad[field] = c.value;
    }
    const std::string refusal = Refusal<SettingsFileError>([&] { SettingsFromJson(bad.dump()); });
    EXPECT_EQ(refusal.rfind(c.message, 0), 0u) << c.pointer << ": " << refusal;
  }
  EXPECT_THROW(SettingsFromJson("{\"format\": "), SettingsFileError);
  EXPECT_THROW(SettingsFromJson("[]"), SettingsFileError);
}

TEST(SettingsFile, ConfigGivesTheSettingsAndOptionsOverrideIt) {
  const auto temp = [](const std::string& name, const std::string& text) {
    const auto path = (std::filesystem::temp_directory_path() / name).string();
    std::ofstream(path) << text;
    return path;
  };
  const std::string path = temp("vobrix-config-test.json", SettingsToJson(Unusual()));
  const std::string bad = temp("vobrix-config-bad.json", "{\"format\": \"vobrix-settings\"}");
  // Before or after --config, an option wins over the file.
  for (const bool optionFirst : {false, true}) {
    std::vector<std::string> args{"--config", path, "--train", "t.txt"};
    const std::vector<std::string> overrides{"--pop-size", "40", "--window", "3"};
    args.insert(optionFirst ? args.begin() : args.end(), overrides.begin(), overrides.end());
    const CliOptions options = ParseOptions(args);
    PanelSettings expected = Unusual();
    expected.problem.windowSizeText = "3";
    for (int p = 0; p < 3; ++p) expected.panels[std::size_t(p)].populationSize = "40";
    EXPECT_EQ(SettingsToJson(options), SettingsToJson(expected));
    EXPECT_EQ(SettingsTexts(options).at("--elite"), "10,10,off");
  }
  EXPECT_EQ(Parse({"--config=" + path, "--populations", "1"}).populations, 1);
  // A text that only looks like --config, as another option's value, reads no file.
  EXPECT_NO_THROW(Parse({"--validation", "--config=/nonexistent/x.json"}));
  EXPECT_NO_THROW(Parse({"--range", "-1", "--config", "--window", "3"}));
  for (const auto& [file, message] :
       {std::pair{bad, "--config: '" + bad + "': version: is missing"},
        {"/nonexistent/x.json", "--config: cannot open '/nonexistent/x.json'"}}) {
    EXPECT_EQ(Refusal<UsageError>([&] { Parse({"--config", file}); }), message);
  }
  std::remove(path.c_str());
  std::remove(bad.c_str());
}

}  // namespace
}  // namespace vobrix::cli
