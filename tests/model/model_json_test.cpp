#include "model/model_json.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include "common/scratch.h"
#include "nodes.h"

namespace vobrix::model {
namespace {

using test::Bits;
using test::C;
using test::F;
using test::ModelErrorOf;
using test::X;

Model FullModel() {
  Model m;
  m.windowSize = 5;
  m.functions = {kAdd, kSubtract, kDivide, kSin, kLn};
  m.normalization = Normalization{-2.5, 120.0};
  m.scaling = LinearScaling{0.1, -3.0000000000000004};
  m.seed = 4294967295u;
  m.settings = {{"--window", "5"}, {"--pop-size", "1000"}};
  m.populations.push_back({{F(kAdd), X(4), F(kDivide), C(-0.0), F(kSin), X(0)}, 0.25, 0.5});
  m.populations.push_back(
      {{F(kSubtract), C(0.1), F(kLn), C(1e300)}, std::numeric_limits<double>::infinity(), 0.125});
  m.populations.back().scaling = LinearScaling{-0.0, 2.5e-300};
  return m;
}

TEST(ModelJsonTest, WritingAndReadingGiveTheSameModelToTheBit) {
  const Model m = FullModel();
  const Model back = ModelFromJson(ModelToJson(m));
  EXPECT_EQ(back, m);
  EXPECT_EQ(Bits(back.populations[0].program[3].value), Bits(-0.0));
  EXPECT_TRUE(std::isinf(back.populations[1].trainingMse));

  // Constants of every magnitude and sign, subnormals and the extremes included.
  std::mt19937_64 draw(7);
  Model many = test::OneProgram({C(std::numeric_limits<double>::max())}, 1, {kAdd});
  many.populations.push_back({{C(std::numeric_limits<double>::denorm_min())}, 0.0, {}});
  while (many.populations.size() < kMaxPopulations) {
    const double v = std::bit_cast<double>(draw());
    if (std::isfinite(v)) many.populations.push_back({{C(v)}, 0.0, {}});
  }
  const Model read = ModelFromJson(ModelToJson(many));
  ASSERT_EQ(read.populations.size(), many.populations.size());
  for (std::size_t i = 0; i < many.populations.size(); ++i) {
    ASSERT_EQ(Bits(read.populations[i].program[0].value),
              Bits(many.populations[i].program[0].value))
        << ExactText(many.populations[i].program[0].value);
  }
  EXPECT_EQ(read, many);  // what it leaves out stays out
}

// The text of a minimal valid model with one field replaced ("" leaves it out) or added.
std::string With(const std::string& field, const std::string& value) {
  const std::string fields[][2] = {
      {"format", R"("vobrix-model")"},
      {"version", "1"},
      {"windowSize", "5"},
      {"functions", R"(["+", "*"])"},
      {"populations", R"([{"program": ["+", "X0", "2.5"], "trainingMse": "1"}])"}};
  std::string text = "{";
  bool replaced = false;
  for (const auto& [name, original] : fields) {
    const std::string& v = name == field ? value : original;
    replaced = replaced || name == field;
    if (!v.empty()) text += (text.size() > 1 ? ", \"" : "\"") + name + "\": " + v;
  }
  if (!replaced) text += ", \"" + field + "\": " + value;
  return text + "}";
}

// The minimal model with one population of the given fields, or of the given program.
std::string Pop(const std::string& fields) {
  return With("populations", "[{" + fields + "}]");
}
std::string Program(const std::string& nodes, const std::string& rest = "") {
  return Pop(R"("program": )" + nodes + R"(, "trainingMse": 1)" + rest);
}

TEST(ModelJsonTest, HostileFilesGiveOneErrorNamingTheField) {
  const std::string windowSize = "windowSize: must be an integer from 1 to 100000";
  const std::string seed = "seed: must be an integer from 0 to 4294967295";
  const std::pair<std::string, std::string> cases[] = {
      {R"({"format": "vobrix-model", )", "not valid JSON"},
      {"[]", "the file: must be an object"},
      {With("format", ""), "format: missing"},
      {With("format", R"("other")"), R"(format: must be "vobrix-model")"},
      {With("version", "4"), "version: 4 is newer than this program reads (3)"},
      {With("version", "1.5"), "version: must be an integer"},
      {With("parts", "[]"), "parts: must hold 2 to 8 parts"},
      {With("parts", R"([{"windowSize": 2}, 3])"), "parts[1]: must be an object"},
      {With("differenceSeasons", "101"), "differenceSeasons: must be an integer from 1 to 100"},
      {With("differenceSeasons", "3"),
       "differenceSeasons: must be an integer from 1 to 100, above"},
      {With("windowSize", ""), "windowSize: missing"},
      {With("windowSize", R"("5")"), windowSize},
      {With("windowSize", "0"), windowSize},
      {With("windowSize", "1e30"), windowSize},
      {With("windowSize", "123456789012345678901234567890"), "windowSize: must be an integer"},
      {With("windowSize", "-9223372036854775808"), "windowSize: must be an integer"},
      {With("functions", "[]"), "functions: must name at least one function"},
      {With("functions", R"("+")"), "functions: must be an array"},
      {With("functions", R"(["+", "foo"])"), R"(functions[1]: unknown function "foo")"},
      {With("functions", R"(["*", "*"])"), R"(functions[1]: "*" is listed twice)"},
      {With("functions", R"(["+", 3])"), "functions[1]: must be a text"},
      {With("populations", "[]"), "populations: must hold 1 to 1024 populations"},
      {With("populations", "{}"), "populations: must be an array"},
      {With("populations", "[5]"), "populations[0]: must be an object"},
      {Pop(R"("trainingMse": 1)"), "populations[0].program: missing"},
      {Program(R"(["+", "X0", "foo"])"), R"(populations[0].program[2]: unknown symbol "foo")"},
      {Program(R"(["+", "X0"])"),
       "populations[0].program: the expression is incomplete: 1 more argument(s) needed"},
      {Program(R"(["X0", "X1"])"),
       "populations[0].program[1]: the expression already ended at [0]"},
      {Program("[]"), "populations[0].program: must hold at least one node"},
      {Program(R"(["X5"])"), "populations[0].program[0]: X5 is beyond the window (X0 to X4)"},
      {Program(R"(["X99999999999999999999"])"),
       "populations[0].program[0]: X2147483647 is beyond the window"},
      {Program(R"(["X01"])"), R"(program[0]: unknown symbol "X01")"},
      {Program(R"(["sin", "X0"])"),
       R"(populations[0].program[0]: "sin" is not in the model's functions)"},
      {Program(R"(["nan"])"), R"(program[0]: unknown symbol "nan")"},
      {Program(R"(["1e999"])"), R"(program[0]: unknown symbol "1e999")"},
      {Program("[1e999]"), "not valid JSON"},
      {Program("[null]"), "populations[0].program[0]: must be a text"},
      {Program(R"("X0")"), "populations[0].program: must be an array"},
      {Pop(R"("program": ["X0"])"), "populations[0].trainingMse: missing"},
      {Pop(R"("program": ["X0"], "trainingMse": "-1")"),
       "populations[0].trainingMse: must be a number from 0 up"},
      {Pop(R"("program": ["X0"], "trainingMse": "nan")"),
       R"(populations[0].trainingMse: "nan" is not a number)"},
      {Pop(R"("program": ["X0"], "trainingMse": true)"),
       "populations[0].trainingMse: must be a number or a number text"},
      {With("populations", R"([{"program": ["X0"], "trainingMse": 1, "validationMse": 1}, )"
                           R"({"program": ["X1"], "trainingMse": 1}])"),
       "populations[1].validationMse: every population or none must have one"},
      {With("normalization", R"({"low": 3})"), "normalization.high: missing"},
      {With("normalization", R"({"low": 3, "high": "3"})"),
       "normalization.high: must differ from low"},
      {With("normalization", R"({"low": "-1e308", "high": "1e308"})"),
       "normalization.high - normalization.low: must be a finite number"},
      {With("normalization", R"({"low": "inf", "high": 1})"),
       "normalization.low: must be a finite number"},
      {With("scaling", R"({"a": 1, "b": "x"})"), R"(scaling.b: "x" is not a number)"},
      {Program(R"(["X0"])", R"(, "scaling": 2)"), "populations[0].scaling: must be an object"},
      {Program(R"(["X0"])", R"(, "scaling": {"b": 1})"), "populations[0].scaling.a: missing"},
      {Program(R"(["X0"])", R"(, "scaling": {"a": 0, "b": "-inf"})"),
       "populations[0].scaling.b: must be a finite number"},
      {With("seed", "-1"), seed},
      {With("seed", "4294967296"), seed},
      {With("settings", R"({"--window": 5})"), "settings.--window: must be a text"},
      {With("settings", "[]"), "settings: must be an object"},
      {std::string(100000, '[') + std::string(100000, ']'), "nested deeper than 16 levels"},
      {Program(R"(["+", "X0", )" + std::string(50, '[') + std::string(50, ']') + "]"),
       "nested deeper than 16 levels"},
  };
  for (const auto& [text, message] : cases) {
    const std::string error = ModelErrorOf([&] { ModelFromJson(text); });
    EXPECT_NE(error.find(message), std::string::npos) << "got: " << error;
  }
  // The minimal model itself is accepted, with the functions in check-list order.
  const Model m = ModelFromJson(With("functions", "[\"*\", \"+\"]"));
  EXPECT_EQ(m.functions, (std::vector<int>{kAdd, kMultiply}));
  EXPECT_EQ(m.populations[0].program, (std::vector<ModelNode>{F(kAdd), X(0), C(2.5)}));
}

// Truncated and corrupted copies of a valid file: each is read or refused with a ModelError,
// never anything else.
TEST(ModelJsonTest, CorruptedFilesNeverEscapeAsAnotherError) {
  const std::string text = ModelToJson(FullModel());
  std::mt19937 draw(11);
  const char replacements[] = "{}[]\",:0-9eX+ \\nul";
  int accepted = 0;
  for (int i = 0; i < 3000; ++i) {
    std::string corrupt = text;
    if (i % 3 == 0) {
      corrupt.resize(draw() % text.size());
    } else {
      for (int k = 0; k < 1 + i % 4; ++k) {
        corrupt[draw() % corrupt.size()] = replacements[draw() % (sizeof replacements - 1)];
      }
    }
    try {
      ModelFromJson(corrupt);
      ++accepted;
    } catch (const ModelError&) {
    } catch (const std::exception& e) {
      FAIL() << "escaped: " << e.what() << "\n" << corrupt;
    }
  }
  EXPECT_LT(accepted, 3000);
}

TEST(ModelJsonTest, FilesThatCannotBeOpenedOrWrittenAreNamed) {
  const std::string path = vobrix::testing::ScratchPath("vobrix_model_test.json").string();
  WriteModelFile(FullModel(), path);
  EXPECT_EQ(ReadModelFile(path), FullModel());
  const std::string bad = "/nonexistent/dir/m.json";
  EXPECT_NE(ModelErrorOf([&] { ReadModelFile(bad); }).find(bad + ": cannot be opened"),
            std::string::npos);
  EXPECT_THROW(WriteModelFile(FullModel(), bad), ModelError);
}

TEST(ModelTest, ChoosesTheLowestValidationErrorOrTrainingErrorOrTheRequestedPopulation) {
  const double inf = std::numeric_limits<double>::infinity();
  Model m;
  m.windowSize = 1;
  m.functions = {kAdd};
  const auto pop = [](double training, std::optional<double> validation) {
    return PopulationModel{{X(0)}, training, validation};
  };
  m.populations = {pop(1.0, 5.0), pop(9.0, 2.0), pop(0.5, 2.0), pop(0.1, inf)};
  EXPECT_EQ(ChoosePopulation(m), 1u);  // the first of the two lowest validation errors
  for (PopulationModel& p : m.populations) p.validationMse.reset();
  EXPECT_EQ(ChoosePopulation(m), 3u);
  EXPECT_EQ(ChoosePopulation(m, 2), 2u);
  EXPECT_EQ(ModelErrorOf([&] { ChoosePopulation(m, 4); }),
            "population 5: the model holds 4 population(s)");
}

}  // namespace
}  // namespace vobrix::model
