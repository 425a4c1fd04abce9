// The settings file that the window saves and `run --config` reads: a round trip keeps every
// text and choice, a bad file is refused naming the field, and options on the command line
// override the file.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <tuple>
#include <utility>

#include "cli/options.h"
#include "results/run_settings.h"

namespace vobrix::cli {
namespace {

using results::PanelSettings;
using results::SettingsFileError;
using results::SettingsFromJson;
using results::SettingsToJson;

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
  s.panels[0].variableRatio = "0.25";
  return s;
}

std::string WriteTemp(const std::string& name, const std::string& text) {
  const auto path = (std::filesystem::temp_directory_path() / name).string();
  std::ofstream(path) << text;
  return path;
}

TEST(SettingsFile, RoundTripKeepsEveryTextAndChoice) {
  const PanelSettings s = Unusual();
  const std::string json = SettingsToJson(s);
  const PanelSettings back = SettingsFromJson(json);
  EXPECT_EQ(SettingsToJson(back), json);
  EXPECT_EQ(back.problem.ticked, s.problem.ticked);
  EXPECT_EQ(back.populations, 3);
  EXPECT_EQ(back.panels[1].selectionIndex, 1);
  EXPECT_FALSE(back.panels[2].eliteChecked);
  EXPECT_EQ(back.panels[2].elite, "12.5");
  EXPECT_TRUE(back.panels[3].breakChecked);
  EXPECT_EQ(back.panels[0].variableRatio, "0.25");
}

// Each text sits under its own name in the file, both when written and when read: a round
// trip alone would not notice two fields that trade places.
TEST(SettingsFile, EveryPanelTextIsStoredUnderItsOwnName) {
  PanelSettings s;
  PanelTexts& t = s.panels[0];
  t.populationSize = "11";
  t.generations = "12";
  t.tournamentSize = "13";
  t.crossover = "0.14";
  t.mutation = "0.15";
  t.onePoint = "0.16";
  t.maxLength = "17";
  t.maxInitialDepth = "18";
  t.functionRatio = "0.19";
  t.variableRatio = "0.21";
  const std::pair<const char*, const char*> fields[] = {
      {"populationSize", "11"}, {"generations", "12"},     {"tournamentSize", "13"},
      {"crossover", "0.14"},    {"mutation", "0.15"},      {"onePoint", "0.16"},
      {"maxLength", "17"},      {"maxInitialDepth", "18"}, {"functionRatio", "0.19"},
      {"variableRatio", "0.21"}};
  nlohmann::json json = nlohmann::json::parse(SettingsToJson(s));
  for (const auto& [name, value] : fields) EXPECT_EQ(json["panels"][0][name], value) << name;
  const auto texts = [](const PanelTexts& p) {
    return std::tie(p.populationSize, p.generations, p.tournamentSize, p.crossover, p.mutation,
                    p.onePoint, p.maxLength, p.maxInitialDepth, p.functionRatio, p.variableRatio);
  };
  json["panels"][1] = json["panels"][0];
  EXPECT_TRUE(texts(SettingsFromJson(json.dump()).panels[1]) == texts(t));
}

TEST(SettingsFile, ABadFileIsRefusedNamingTheField) {
  const nlohmann::json good = nlohmann::json::parse(SettingsToJson(Unusual()));
  const struct {
    const char* pointer;
    nlohmann::json value;
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
      {"/panels/3/breakPoint", nullptr, "panels[3].breakPoint: must be an object"},
      {"/problem/functions/1", "exp", "problem.functions[1]: is not one of"},
      {"/problem/range/high", "ten", "problem.range.high: \"ten\" is not a number"},
      {"/problem/window", "", "problem.window: \"\" is not a whole number"},
  };
  for (const auto& c : cases) {
    nlohmann::json bad = good;
    bad[nlohmann::json::json_pointer(c.pointer)] = c.value;
    try {
      SettingsFromJson(bad.dump());
      ADD_FAILURE() << c.pointer << " accepted";
    } catch (const SettingsFileError& e) {
      EXPECT_EQ(std::string(e.what()).rfind(c.message, 0), 0u) << e.what();
    }
  }
  nlohmann::json missing = good;
  missing["panels"][0].erase("mutation");
  EXPECT_THROW(
      {
        try {
          SettingsFromJson(missing.dump());
        } catch (const SettingsFileError& e) {
          EXPECT_STREQ(e.what(), "panels[0].mutation: is missing");
          throw;
        }
      },
      SettingsFileError);
  EXPECT_THROW(SettingsFromJson("{\"format\": "), SettingsFileError);
  EXPECT_THROW(SettingsFromJson("[]"), SettingsFileError);
}

TEST(SettingsFile, ConfigGivesTheSettingsAndOptionsOverrideIt) {
  const std::string path = WriteTemp("vobrix-config-test.json", SettingsToJson(Unusual()));
  // Before or after --config, an option wins over the file.
  for (const bool optionFirst : {false, true}) {
    std::vector<std::string> args{"--config", path, "--train", "t.txt"};
    const std::vector<std::string> overrides{"--pop-size", "40", "--window", "3"};
    args.insert(optionFirst ? args.begin() : args.end(), overrides.begin(), overrides.end());
    const CliOptions options = ParseOptions(args);
    EXPECT_EQ(options.populations, 3);
    EXPECT_EQ(options.problem.windowSizeText, "3");
    EXPECT_EQ(options.problem.constantCountText, "250");
    EXPECT_EQ(options.problem.ticked, Unusual().problem.ticked);
    for (int p = 0; p < 3; ++p) EXPECT_EQ(options.panels[std::size_t(p)].populationSize, "40");
    EXPECT_EQ(options.panels[1].selectionIndex, 1);
    EXPECT_EQ(options.panels[0].crossover, "0.6");
    EXPECT_EQ(SettingsTexts(options).at("--elite"), "10,10,off");
  }
  EXPECT_EQ(ParseOptions({"--config=" + path, "--train", "t", "--populations", "1"}).populations,
            1);
  // A text that only looks like --config, as another option's value, reads no file.
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--train", "t", "--validation", "--config=/nonexistent/x.json"},
        std::vector<std::string>{"--train", "t", "--range", "-1", "--config", "--window", "3"}}) {
    EXPECT_NO_THROW(ParseOptions(args)) << args[3];
  }
  const std::string bad = WriteTemp("vobrix-config-bad.json", "{\"format\": \"vobrix-settings\"}");
  const std::vector<std::pair<std::string, std::string>> refused{
      {bad, "--config: '" + bad + "': version: is missing"},
      {"/nonexistent/x.json", "--config: cannot open '/nonexistent/x.json'"}};
  for (const auto& [file, message] : refused) {
    try {
      ParseOptions(std::vector<std::string>{"--train", "t", "--config", file});
      ADD_FAILURE() << file;
    } catch (const UsageError& e) {
      EXPECT_EQ(e.what(), message);
    }
  }
  std::remove(path.c_str());
  std::remove(bad.c_str());
}

}  // namespace
}  // namespace vobrix::cli
