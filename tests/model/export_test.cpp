#include "model/export.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <tuple>

#include "common/scratch.h"
#include "engine/init.h"
#include "engine/misc.h"
#include "model/predictor.h"
#include "nodes.h"
#include "problem/problem.h"

namespace vobrix::model {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

using test::Bits;
using test::C;
using test::F;
using test::Members;
using test::OneProgram;
using test::X;

TEST(ExportTest, FormsSpellTheProgramWithFullPrecisionConstants) {
  const std::tuple<std::vector<ModelNode>, const char*, const char*> cases[] = {
      {{F(kMultiply), F(kAdd), X(0), X(1), F(kSin), X(2)},
       "((X0 + X1) * sin(X2))",
       "\\left(\\left(X_{0} + X_{1}\\right) \\cdot \\sin\\left(X_{2}\\right)\\right)"},
      {{F(kDivide), X(0), C(-0.0)}, "(X0 / (-0))", "\\frac{X_{0}}{(-0)}"},
      {{F(kLn), C(0.1)},
       "ln(0.10000000000000001)",
       "\\ln\\left\\lfloor\\left|0.10000000000000001\\right|\\right\\rfloor"},
      {{F(kSubtract), C(1e300), X(2)},
       "(1.0000000000000001e+300 - X2)",
       "\\left(1.0000000000000001 \\times 10^{300} - X_{2}\\right)"},
      {{X(2)}, "X2", "X_{2}"},
  };
  for (const auto& [program, infix, formula] : cases) {
    EXPECT_EQ(InfixText(program), infix);
    const std::string latex = ExportLatex(OneProgram(program, 3), 0);
    EXPECT_NE(latex.find(std::string("\\hat{y} = ") + formula + "\n"), std::string::npos) << latex;
  }

  Model m = OneProgram({F(kDivide), X(0), C(2.0)}, 1);
  m.normalization = Normalization{-3.0, 120.0};
  const std::string text = ExportText(m, 0);
  EXPECT_NE(text.find("y = (-3) + (120 - (-3)) * (P)\n"), std::string::npos) << text;
  EXPECT_NE(text.find("P = (X0 / 2)\n"), std::string::npos) << text;
  EXPECT_NE(text.find("a / b is 1 when b is 0"), std::string::npos) << text;
  EXPECT_EQ(text.find("sqrt"), std::string::npos) << text;  // notes of unused functions left out
  const std::string c = ExportC(m, 0);
  EXPECT_NE(c.find("-ffp-contract=off"), std::string::npos);
  EXPECT_NE(c.find("double vobrix_predict(const double *x)"), std::string::npos);
  EXPECT_NE(ExportPython(m, 0).find("def predict(x):"), std::string::npos);
}

// ---------------------------------------------------------------------------------------
// The exported C and Python give the engine's bits on random programs of every function.

std::string Hex(double v) {
  char buffer[64];
  const auto r =
      std::to_chars(buffer, buffer + sizeof buffer, std::fabs(v), std::chars_format::hex);
  return (std::signbit(v) ? "-0x" : "0x") + std::string(buffer, r.ptr);
}

// The value as a C expression, or with `python` a Python one, of its exact bits.
std::string Literal(double v, bool python) {
  if (std::isnan(v)) return python ? "math.nan" : "NAN";
  if (std::isinf(v) && python) return v < 0 ? "-math.inf" : "math.inf";
  if (std::isinf(v)) return v < 0 ? "-INFINITY" : "INFINITY";
  return python ? "float.fromhex('" + Hex(v) + "')" : Hex(v);
}

struct Case {
  Model model;
  std::vector<std::vector<double>> windows;
};

// Values that drive programs into every protection: zeros of both signs, the 2^53 edge of the
// trigonometric guard, overflow, magnitudes for the truncation, infinities and NaN.
std::vector<double> NastyWindow(std::int32_t w) {
  static const double specials[] = {0.0,    -0.0,   1e16, -0x1p53, 0x1p53 - 1,
                                    1e300,  -1e300, 0.5,  -2.9,    2147483648.5,
                                    1e-310, 7.0,    kInf, kNaN,    -1.0};
  std::vector<double> window(static_cast<std::size_t>(w));
  for (double& v : window) {
    const int pick = RandomBelow(30);
    v = pick < 15 ? specials[pick] : (RandomUnit() - 0.5) * std::pow(10.0, RandomBelow(9) - 3);
  }
  return window;
}

// A few hundred grown programs over four function sets, some normalized, some scaled.
std::vector<Case> RandomCases() {
  const std::vector<std::vector<int>> sets = {
      {kAdd, kSubtract, kMultiply, kDivide},
      {kAdd, kMultiply, kSin, kCos, kTan},
      {kSubtract, kDivide, kLn, kLog10, kSqrt},
      {kAdd, kSubtract, kMultiply, kDivide, kSin, kCos, kTan, kLn, kLog10, kSqrt}};
  const std::vector<double> constants = {0.0,  -0.0, 3.0,          1e200,  -2.5,
                                         1e16, 0.7,  2147483648.5, -1e-310};
  std::vector<Case> cases;
  SeedRandom(2024);
  for (std::size_t s = 0; s < sets.size(); ++s) {
    for (int variant = 0; variant < 4; ++variant) {
      Problem problem;
      std::array<bool, kFunctionTableSize> ticked{};
      for (int f : sets[s]) ticked[f] = true;
      problem.functionCount = static_cast<std::int32_t>(sets[s].size());
      problem.variableCount = problem.windowSize = 1 + variant;
      problem.constants = constants;
      problem.constantCount = static_cast<std::int32_t>(constants.size());
      BuildNodeTable(problem, ticked, Primitives());
      currentProblem = &problem;  // the grower reads the node table there
      const NodeDrawSetup setup{problem.functionCount, problem.variableCount, problem.constantCount,
                                0.5f, 0.3f};
      std::vector<Node> genes(70);
      for (int k = 0; k < 25; ++k) {
        const std::int32_t length = GrowProgram(genes.data(), 1 + k % 6, 70, setup);
        Model m =
            OneProgram(ProgramOfGenes(problem, genes.data(), length), problem.windowSize, sets[s]);
        if (variant % 2 == 1) m.normalization = Normalization{-3.75, 250.5};
        if (k % 3 == 0) m.scaling = LinearScaling{0.25, -1.5};
        // A run's own a and b per population, over the model's where both are given.
        if (k % 4 == 0) m.populations[0].scaling = LinearScaling{-7.125, 0.3000000000000001};
        Case c{m, {}};
        for (int j = 0; j < 6; ++j) c.windows.push_back(NastyWindow(problem.windowSize));
        cases.push_back(std::move(c));
      }
      currentProblem = nullptr;
    }
  }
  return cases;
}

// The model differenced at the lags, with windows of its inputs: ordinary values and a few of
// NastyWindow's.
Case Differenced(Model m, std::vector<std::int32_t> lags, std::int32_t seasons = 1) {
  m.difference = std::move(lags);
  m.differenceSeasons = seasons;
  Case c{m, {}};
  for (int j = 0; j < 8; ++j) {
    std::vector<double> window(static_cast<std::size_t>(InputCount(m)));
    for (double& v : window) v = (RandomUnit() - 0.3) * 40.0;
    if (j % 4 == 3) window = NastyWindow(InputCount(m));
    c.windows.push_back(window);
  }
  return c;
}

// Hand-made cases: nesting far deeper than any parser likes, and the 15-digit rounding of the
// normalization at its edges (ties, carries, subnormals, overflow), seen through y = X0.
std::vector<Case> EdgeCases() {
  std::vector<ModelNode> deep;
  for (int i = 0; i < 300; ++i) deep.push_back(F(i % 2 ? kSin : kSqrt));
  deep.insert(deep.end(), {F(kAdd), X(0), C(1.5)});
  std::vector<ModelNode> long_sum;
  for (int i = 0; i < 1000; ++i) long_sum.push_back(F(i % 3 ? kAdd : kDivide));
  for (int i = 0; i <= 1000; ++i) long_sum.push_back(i % 2 ? X(0) : C(0.001 * i));
  Model identity = OneProgram({X(0)}, 1);
  identity.normalization = Normalization{0.0, 1.0};
  const double max = std::numeric_limits<double>::max();
  Case rounding{identity, {}};
  for (double t : {123456789012344.5, 123456789012345.5, 999999999999999.5, -999999999999999.5,
                   0.30000000000000004, 1.0000000000000002, 2.5e-310, 5e-324, -0.0, max, -max,
                   1.2345678901234549e-7, kInf, -kInf, kNaN}) {
    rounding.windows.push_back({t});
  }
  Model clipped = OneProgram({F(kMultiply), X(0), C(3.0)}, 1);
  Model differencedEnsemble =
      Members({{F(kAdd), X(0), C(0.5)}, {F(kDivide), C(1.0), X(0)}, {X(0)}}, Clip{-4.0, 4.0});
  clipped.clip = Clip{-1.0, 2.0};
  // Decimal data whose difference is 0 but for rounding, which counts as 0, and one that is 0
  // but for a millionth of a millionth, which does not; 1 / X0 shows either. 14 units in the
  // last place of four terms of about 1 are within 4 * 4 of them, but not within 3 * 4.
  Case cancelling = Differenced(OneProgram({F(kDivide), C(1.0), X(0)}, 1), {1, 2});
  cancelling.windows = {{45.3, 44.1, 44.1, 42.9},
                        {45.3, 44.1, 44.1, 42.9 + 1e-12},
                        {0.3, 0.1, 0.1, -0.1},
                        {1.0, 1.0, 1.0, 1.0 + 14 * 0x1p-52},
                        {1e300, 1e300, kInf, 1e300}};
  return {{OneProgram(deep, 1), {{0.25}, {-7.5}, {1e17}}},
          {OneProgram(long_sum, 1), {{0.0}, {3.0}, {-1e300}}},
          rounding,
          {clipped, {{0.5}, {1.0}, {-5.0}, {kNaN}, {kInf}, {-kInf}}},
          {Members({{F(kAdd), X(0), C(1.0)}, {F(kMultiply), X(0), C(2.0)}, {X(0)}}, Clip{0.0, 3.0}),
           {{1.0}, {3.0}, {kNaN}, {-7.0}, {0.75}}},
          // An even count, -0 beside +0 and NaN among numbers: the order of the sort matters.
          {Members({{X(0)},
                    {F(kMultiply), X(0), C(-1.0)},
                    {F(kAdd), X(0), C(1.0)},
                    {F(kDivide), X(0), C(0.0)}},
                   std::nullopt),
           {{0.0}, {2.0}, {kNaN}, {-0.0}, {kInf}}},
          Differenced(differencedEnsemble, {1, 12}),
          // Lag 12 against the mean of three seasons: coefficients of +-1/3 and 1.
          Differenced(differencedEnsemble, {1, 12}, 3),
          // Lags 1, 2, 3: a zero coefficient among the others, which the sums must skip.
          Differenced(OneProgram({F(kAdd), X(1), F(kMultiply), X(0), C(0.5)}, 2), {1, 2, 3}),
          cancelling};
}

// The engine's answer for every window of every case, as the programs print them.
std::vector<double> Expected(const std::vector<Case>& cases) {
  std::vector<double> expected;
  for (const Case& c : cases) {
    const Predictor predictor(c.model, 0);
    for (const std::vector<double>& window : c.windows) {
      expected.push_back(predictor.PredictNext(window.data()));
    }
  }
  return expected;
}

// One file with every case's function and a table of their inputs; the functions are called
// through pointers so that the compiler optimises each as it would alone.
std::string CProgram(const std::vector<Case>& cases) {
  std::string text = CPreamble(true, true);
  std::string functions =
      "typedef double (*model_fn)(const double *);\n"
      "static model_fn const functions[] = {";
  std::string inputs = "static const double inputs[] = {";
  std::string counts = "static const int counts[] = {";
  std::string widths = "static const int widths[] = {";
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const std::string name = std::string("f").append(std::to_string(i));
    text += CFunction(cases[i].model, 0, name);
    functions += name + ", ";
    for (const std::vector<double>& window : cases[i].windows) {
      for (double v : window) inputs += Literal(v, false) + ", ";
    }
    counts += std::to_string(cases[i].windows.size()) + ", ";
    widths += std::to_string(InputCount(cases[i].model)) + ", ";
  }
  text += functions + "};\n" + inputs + "};\n" + counts + "};\n" + widths + "};\n";
  text +=
      "int main(void) {\n"
      "  const double *in = inputs;\n"
      "  size_t i;\n"
      "  int j;\n"
      "  for (i = 0; i < sizeof counts / sizeof counts[0]; ++i) {\n"
      "    for (j = 0; j < counts[i]; ++j, in += widths[i]) printf(\"%a\\n\", functions[i](in));\n"
      "  }\n"
      "  return 0;\n"
      "}\n";
  return text;
}

std::string PythonProgram(const std::vector<Case>& cases) {
  std::string text = PythonPreamble(true, true), calls;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const std::string name = std::string("f").append(std::to_string(i));
    text += PythonFunction(cases[i].model, 0, name);
    for (const std::vector<double>& window : cases[i].windows) {
      calls += "print(float(" + name + "([";
      for (double v : window) calls += Literal(v, true) + ", ";
      calls += "])).hex())\n";
    }
  }
  return text + "\n\n" + calls;
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path) << text;
}

// The values a program printed, one exact hexadecimal text a line, against the engine's.
void ExpectSameBits(const std::vector<double>& expected, const std::string& path,
                    const char* language) {
  std::vector<double> got;
  std::ifstream file(path);
  for (std::string line; std::getline(file, line);)
    got.push_back(std::strtod(line.c_str(), nullptr));
  ASSERT_EQ(got.size(), expected.size()) << language;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    if (std::isnan(expected[i])) {
      EXPECT_TRUE(std::isnan(got[i])) << language << " result " << i;
    } else {
      EXPECT_EQ(Bits(got[i]), Bits(expected[i]))
          << language << " result " << i << ": " << got[i] << " instead of " << expected[i];
    }
  }
}

TEST(ExportTest, CompiledCAndPythonGiveTheEnginesBits) {
  std::vector<Case> cases = RandomCases();
  for (Case& c : EdgeCases()) cases.push_back(std::move(c));
  const std::vector<double> expected = Expected(cases);
  int nonFinite = 0;
  for (double e : expected) nonFinite += std::isfinite(e) ? 0 : 1;
  EXPECT_GT(nonFinite, 100);  // the protections and the special values were reached...
  EXPECT_LT(nonFinite, static_cast<int>(expected.size()) / 2);  // ...and ordinary values too

  const std::string dir = vobrix::testing::ScratchPath("vobrix_export_test").string();
  ASSERT_EQ(std::system(("mkdir -p " + dir).c_str()), 0);
  WriteText(dir + "/models.c", CProgram(cases));
  WriteText(dir + "/models.py", PythonProgram(cases));
  ASSERT_EQ(std::system(("cc -std=c99 -pedantic -Wall -Wextra -Werror -O2 -ffp-contract=off -o " +
                         dir + "/models " + dir + "/models.c -lm")
                            .c_str()),
            0);
  // The whole file export writes for a plain program of every function, and for the last,
  // differenced, case, each with only the helpers it needs, compiles too.
  const auto plain = std::find_if(cases.begin(), cases.end(), [](const Case& c) {
    return c.model.functions.size() == 10 && !c.model.normalization;
  });
  ASSERT_NE(plain, cases.end());
  for (const Case* whole : {&*plain, &cases.back()}) {
    WriteText(dir + "/whole.c", ExportC(whole->model, 0));
    ASSERT_EQ(std::system(("cc -std=c99 -pedantic -Wall -Wextra -Werror -c -o " + dir +
                           "/whole.o " + dir + "/whole.c")
                              .c_str()),
              0);
  }
  ASSERT_EQ(std::system((dir + "/models > " + dir + "/c.txt").c_str()), 0);
  ASSERT_EQ(std::system(("python3 " + dir + "/models.py > " + dir + "/py.txt").c_str()), 0);
  ExpectSameBits(expected, dir + "/c.txt", "C");
  ExpectSameBits(expected, dir + "/py.txt", "Python");
  std::system(("rm -rf " + dir).c_str());
}

// The mean of an ensemble of window 2 and one differenced at lags 1 and 12 over three seasons,
// which reads many more values: the first part's inputs start late among the whole's.
Model TwoParts() {
  Model window =
      Members({{F(kAdd), X(0), X(1)}, {F(kMultiply), X(1), C(0.5)}, {X(0)}}, Clip{-15.0, 15.0});
  window.windowSize = 2;
  Model seasonal = Members({{F(kAdd), X(0), C(0.5)}, {F(kDivide), C(1.0), X(0)}}, Clip{-4.0, 4.0});
  seasonal.difference = {1, 12};
  seasonal.differenceSeasons = 3;
  Model whole;
  whole.functions = window.functions;
  whole.parts = {window, seasonal};
  return whole;
}

TEST(ExportTest, CAndPythonOfAModelOfPartsGiveThePredictorsBits) {
  const Model whole = TwoParts();
  const auto n = static_cast<std::size_t>(InputCount(whole));
  SeedRandom(7);
  std::vector<double> series(n + 30);
  for (double& v : series) v = (RandomUnit() - 0.3) * 40.0;
  const std::vector<double> expected = Predictor(whole, 0).Predict(series).predictions;
  Case c{whole, {}};
  for (std::size_t i = 0; i < expected.size(); ++i) {
    c.windows.emplace_back(series.begin() + static_cast<std::ptrdiff_t>(i),
                           series.begin() + static_cast<std::ptrdiff_t>(i + n));
  }
  const std::string dir = vobrix::testing::ScratchPath("vobrix_export_parts_test").string();
  ASSERT_EQ(std::system(("mkdir -p " + dir).c_str()), 0);
  WriteText(dir + "/parts.c", CProgram({c}));
  WriteText(dir + "/parts.py", PythonProgram({c}));
  // The whole file, with the parts' helpers once each, compiles.
  WriteText(dir + "/whole.c", ExportC(whole, 0));
  const std::string cc = "cc -std=c99 -pedantic -Wall -Wextra -Werror -O2 -ffp-contract=off ";
  ASSERT_EQ(std::system((cc + "-c -o " + dir + "/whole.o " + dir + "/whole.c").c_str()), 0);
  ASSERT_EQ(std::system((cc + "-o " + dir + "/parts " + dir + "/parts.c -lm").c_str()), 0);
  ASSERT_EQ(std::system((dir + "/parts > " + dir + "/c.txt").c_str()), 0);
  ASSERT_EQ(std::system(("python3 " + dir + "/parts.py > " + dir + "/py.txt").c_str()), 0);
  ExpectSameBits(expected, dir + "/c.txt", "C");
  ExpectSameBits(expected, dir + "/py.txt", "Python");
  std::system(("rm -rf " + dir).c_str());
}

// The text and LaTeX of a model of parts give the mean, then each part's own form in order.
TEST(ExportTest, TextAndLatexOfAModelOfPartsGiveEachPart) {
  const Model whole = TwoParts();
  const std::string text = ExportText(whole, 0);
  const std::string latex = ExportLatex(whole, 0);
  EXPECT_NE(text.find("(y1 + y2) / 2"), std::string::npos) << text;
  EXPECT_NE(latex.find("\\frac{\\hat{y}_{1} + \\hat{y}_{2}}{2}"), std::string::npos) << latex;
  std::size_t inText = 0, inLatex = 0;
  for (std::size_t k = 0; k < whole.parts.size(); ++k) {
    const std::string label = "Part " + std::to_string(k + 1) + ",";
    // A part's text past the line naming its value, and its LaTeX's first comment line.
    const std::string own = ExportText(whole.parts[k], 0);
    const std::string ownLatex = ExportLatex(whole.parts[k], 0);
    inText = text.find(label, inText);
    EXPECT_NE(text.find(own.substr(own.find('\n')), inText), std::string::npos) << text;
    inLatex = latex.find(label, inLatex);
    EXPECT_NE(latex.find(ownLatex.substr(0, ownLatex.find('\n')), inLatex), std::string::npos)
        << latex;
  }
}

}  // namespace
}  // namespace vobrix::model
