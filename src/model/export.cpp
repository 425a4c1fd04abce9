#include "model/export.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <utility>

#include "model/difference.h"

namespace vobrix::model {

namespace {

// How each primitive is written in the code and LaTeX forms, in FunctionTable order; "$a" and
// "$b" stand for the arguments. The text form needs no row: it uses the engine's symbols.
struct Spelling {
  const char* c;
  const char* python;
  const char* latex;
  const char* note;  // what the primitive does beyond its name, or nullptr
};

constexpr std::array<Spelling, kFunctionTableSize> kSpellings = {{
    {"($a + $b)", "($a + $b)", "\\left($a + $b\\right)", nullptr},
    {"($a - $b)", "($a - $b)", "\\left($a - $b\\right)", nullptr},
    {"($a * $b)", "($a * $b)", "\\left($a \\cdot $b\\right)", nullptr},
    {"vobrix_div($a, $b)", "_div($a, $b)", "\\frac{$a}{$b}",
     "a / b is 1 when b is 0 (of either sign) or NaN"},
    {"vobrix_sin($a)", "_sin($a)", "\\sin\\left($a\\right)",
     "sin(a) is NaN when |a| >= 2^53 or a is not finite"},
    {"vobrix_cos($a)", "_cos($a)", "\\cos\\left($a\\right)",
     "cos(a) is NaN when |a| >= 2^53 or a is not finite"},
    {"vobrix_tan($a)", "_tan($a)", "\\tan\\left($a\\right)",
     "tan(a) is NaN when |a| >= 2^53 or a is not finite"},
    {"vobrix_ln($a)", "_ln($a)", "\\ln\\left\\lfloor\\left|$a\\right|\\right\\rfloor",
     "ln(a) is the natural logarithm of m = |trunc(a)|, 0 when m is 0"},
    {"vobrix_log10($a)", "_log10($a)", "\\log_{10}\\left\\lfloor\\left|$a\\right|\\right\\rfloor",
     "log10(a) is the decimal logarithm of m = |trunc(a)|, 0 when m is 0"},
    {"vobrix_sqrt($a)", "_sqrt($a)", "\\sqrt{\\left\\lfloor\\left|$a\\right|\\right\\rfloor}",
     "sqrt(a) is the square root of m = |trunc(a)|"},
}};

// The start of a C file: how to compile it, and the mathematical library.
constexpr const char* kCHead =
    "/* Compile with -ffp-contract=off (no fused multiply-add) and never with -ffast-math,\n"
    " * -Ofast or -funsafe-math-optimizations, e.g. cc -O2 -ffp-contract=off model.c -lm:\n"
    " * anything else may change the bits of the result. */\n"
    "#include <math.h>\n";

// The engine's protected primitives in C, as in engine/functions.cpp.
constexpr const char* kCPrimitives =
    "\n"
    "static inline double vobrix_div(double a, double b) {\n"
    "  return (b == 0.0 || b != b) ? 1.0 : a / b;\n"
    "}\n"
    "/* |trunc(a)|; non-finite values and magnitudes beyond 2^31 - 1 give 2^31 - 1. */\n"
    "static inline double vobrix_magnitude(double a) {\n"
    "  double m;\n"
    "  if (!isfinite(a)) return 2147483647.0;\n"
    "  m = fabs(trunc(a));\n"
    "  return m > 2147483647.0 ? 2147483647.0 : m;\n"
    "}\n"
    "/* The argument passes through a volatile so that no compiler evaluates a call on a\n"
    " * constant with its own, differently rounded, arithmetic: it is always the C library's. "
    "*/\n"
    "static inline double vobrix_sin(double a) {\n"
    "  volatile double v = a;\n"
    "  return fabs(a) < 9007199254740992.0 ? sin(v) : NAN;\n"
    "}\n"
    "static inline double vobrix_cos(double a) {\n"
    "  volatile double v = a;\n"
    "  return fabs(a) < 9007199254740992.0 ? cos(v) : NAN;\n"
    "}\n"
    "static inline double vobrix_tan(double a) {\n"
    "  volatile double v = a;\n"
    "  return fabs(a) < 9007199254740992.0 ? tan(v) : NAN;\n"
    "}\n"
    "static inline double vobrix_ln(double a) {\n"
    "  volatile double m = vobrix_magnitude(a);\n"
    "  return m == 0.0 ? 0.0 : log(m);\n"
    "}\n"
    "static inline double vobrix_log10(double a) {\n"
    "  volatile double m = vobrix_magnitude(a);\n"
    "  return m == 0.0 ? 0.0 : log10(m);\n"
    "}\n"
    "static inline double vobrix_sqrt(double a) { return sqrt(vobrix_magnitude(a)); }\n";

// The normalization's 15-digit rounding in C (problem/textconv.cpp: RoundToDigits).
constexpr const char* kCRound15 =
    "/* v rounded half away from zero to 15 significant digits and read back; zero gives\n"
    " * +0. Needs the C locale and a printf that writes exact digits (glibc does). */\n"
    "static inline double vobrix_round15(double v) {\n"
    "  char exact[800], text[40], digits[16];\n"
    "  const char *p = exact;\n"
    "  int i, exponent, negative, carried = 0;\n"
    "  if (!isfinite(v)) return v;\n"
    "  if (v == 0.0) return 0.0;\n"
    "  snprintf(exact, sizeof exact, \"%.770e\", v); /* every digit of the binary value */\n"
    "  negative = *p == '-';\n"
    "  if (negative) ++p;\n"
    "  digits[0] = *p++;\n"
    "  ++p; /* the point */\n"
    "  for (i = 1; i < 15; ++i) digits[i] = *p++;\n"
    "  digits[15] = '\\0';\n"
    "  if (*p >= '5') { /* half or more of the last kept digit: away from zero */\n"
    "    for (i = 14; i >= 0 && digits[i] == '9'; --i) digits[i] = '0';\n"
    "    if (i >= 0) ++digits[i];\n"
    "    else digits[0] = '1', carried = 1;\n"
    "  }\n"
    "  while (*p != 'e') ++p;\n"
    "  exponent = atoi(p + 1) + carried;\n"
    "  snprintf(text, sizeof text, \"%s%c.%se%d\", negative ? \"-\" : \"\", digits[0],\n"
    "           digits + 1, exponent);\n"
    "  return strtod(text, NULL);\n"
    "}\n";

// The clip and the ensemble's median in C, as in model/model.cpp: NaN ordered above every
// number, sorted by a stable insertion sort as the program sorts stably.
constexpr const char* kCGuards =
    "\n"
    "/* p held to [low, high]; NaN stays NaN. */\n"
    "static inline double vobrix_clip(double p, double low, double high) {\n"
    "  return p < low ? low : (p > high ? high : p);\n"
    "}\n"
    "static inline int vobrix_below(double a, double b) { return a < b || (a == a && b != b); }\n"
    "/* The median of v[0 .. n - 1], the mean of the two middle values for an even n; sorts v. */\n"
    "static inline double vobrix_median(double *v, int n) {\n"
    "  int i, j;\n"
    "  for (i = 1; i < n; ++i) {\n"
    "    const double t = v[i];\n"
    "    for (j = i; j > 0 && vobrix_below(t, v[j - 1]); --j) v[j] = v[j - 1];\n"
    "    v[j] = t;\n"
    "  }\n"
    "  return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2.0;\n"
    "}\n"
    "/* z, a sum of n terms whose sizes add up to size, or 0 within their rounding. */\n"
    "static inline double vobrix_difference(double z, double size, int n) {\n"
    "  return isfinite(size) && fabs(z) <= n * 0x1p-52 * size ? 0.0 : z;\n"
    "}\n";

constexpr const char* kPythonGuards =
    "\n\n"
    "def _clip(p, low, high):\n"
    "    # p held to [low, high]; NaN stays NaN.\n"
    "    return low if p < low else (high if p > high else p)\n"
    "\n\n"
    "def _median(values):\n"
    "    # The mean of the two middle values for an even count; NaN above every number.\n"
    "    v = sorted(values, key=lambda a: (a != a, a))\n"
    "    n = len(v)\n"
    "    return v[n // 2] if n % 2 == 1 else (v[n // 2 - 1] + v[n // 2]) / 2.0\n"
    "\n\n"
    "def _difference(z, size, n):\n"
    "    # z, a sum of n terms whose sizes add up to size, or 0 within their rounding.\n"
    "    return 0.0 if math.isfinite(size) and abs(z) <= n * 2.0 ** -52 * size else z\n";

// The engine's protected primitives in Python, as in engine/functions.cpp.
constexpr const char* kPythonPrimitives =
    "\n\n"
    "# The engine's protected primitives, giving the C library's results where Python's math\n"
    "# would raise: no call ever reaches a domain error, an overflow or a division by zero.\n"
    "def _div(a, b):\n"
    "    return 1.0 if (b == 0.0 or b != b) else a / b\n"
    "\n\n"
    "def _magnitude(a):\n"
    "    # |trunc(a)|; non-finite values and magnitudes beyond 2^31 - 1 give 2^31 - 1.\n"
    "    if not math.isfinite(a):\n"
    "        return 2147483647.0\n"
    "    m = math.fabs(a)\n"
    "    return 2147483647.0 if m > 2147483647.0 else float(math.trunc(m))\n"
    "\n\n"
    "def _sin(a):\n"
    "    return math.sin(a) if math.fabs(a) < 9007199254740992.0 else math.nan\n"
    "\n\n"
    "def _cos(a):\n"
    "    return math.cos(a) if math.fabs(a) < 9007199254740992.0 else math.nan\n"
    "\n\n"
    "def _tan(a):\n"
    "    return math.tan(a) if math.fabs(a) < 9007199254740992.0 else math.nan\n"
    "\n\n"
    "def _ln(a):\n"
    "    m = _magnitude(a)\n"
    "    return 0.0 if m == 0.0 else math.log(m)\n"
    "\n\n"
    "def _log10(a):\n"
    "    m = _magnitude(a)\n"
    "    return 0.0 if m == 0.0 else math.log10(m)\n"
    "\n\n"
    "def _sqrt(a):\n"
    "    return math.sqrt(_magnitude(a))\n";

// The normalization's 15-digit rounding in Python.
constexpr const char* kPythonRound15 =
    "\n\n"
    "_CONTEXT15 = Context(prec=15, rounding=ROUND_HALF_UP)\n"
    "\n\n"
    "def _round15(v):\n"
    "    # v rounded half away from zero to 15 significant digits; zero gives +0.\n"
    "    if not math.isfinite(v):\n"
    "        return v\n"
    "    if v == 0.0:\n"
    "        return 0.0\n"
    "    return float(_CONTEXT15.plus(Decimal(v)))\n";

constexpr bool EveryPrimitiveSpelled() {
  for (const Spelling& s : kSpellings) {
    if (!s.c || !s.python || !s.latex) return false;
  }
  return true;
}
static_assert(EveryPrimitiveSpelled(), "every primitive of the FunctionTable needs its spellings");

constexpr const char* kMagnitudeNote =
    "m = |trunc(a)| is 2147483647 when a is not finite or |a| >= 2^31";

// Deeper expressions are split into temporaries, so that no parser meets deep nesting.
constexpr int kMaxCodeDepth = 24;

std::string Substitute(const char* pattern, const std::string& a, const std::string& b) {
  std::string out;
  for (const char* c = pattern; *c; ++c) {
    if (c[0] == '$' && (c[1] == 'a' || c[1] == 'b')) {
      out += c[1] == 'a' ? a : b;
      ++c;
    } else {
      out += *c;
    }
  }
  return out;
}

// How one form writes the parts of an expression.
struct Form {
  std::function<std::string(int function, const std::string& a, const std::string& b)> function;
  std::function<std::string(int k)> variable;
  std::function<std::string(double value)> constant;
  int maxDepth = 0;  // 0: one expression however deep
};

std::string TemporaryName(std::size_t t) {
  return std::string("t").append(std::to_string(t));
}

struct Spelled {
  std::string expression;
  std::vector<std::string> temporaries;  // t0, t1, ...: defined in this order before use
};

// Bottom-up over the prefix array (no recursion, whatever the depth): every function finds its
// arguments on top of the stack, the first argument uppermost.
Spelled Spell(const std::vector<ModelNode>& program, const Form& form) {
  struct Part {
    std::string text;
    int depth = 0;
  };
  Spelled spelled;
  std::vector<Part> stack;
  const auto take = [&]() {
    Part part = std::move(stack.back());
    stack.pop_back();
    if (form.maxDepth > 0 && part.depth >= form.maxDepth) {
      spelled.temporaries.push_back(std::move(part.text));
      part = {TemporaryName(spelled.temporaries.size() - 1), 0};
    }
    return part;
  };
  for (auto node = program.rbegin(); node != program.rend(); ++node) {
    switch (node->kind) {
      case ModelNode::Kind::Variable:
        stack.push_back({form.variable(node->index), 0});
        break;
      case ModelNode::Kind::Constant:
        stack.push_back({form.constant(node->value), 0});
        break;
      case ModelNode::Kind::Function: {
        const Part a = take();
        const Part b = Primitives()[node->index].arityCode == 1 ? take() : Part{};
        stack.push_back(
            {form.function(node->index, a.text, b.text), 1 + std::max(a.depth, b.depth)});
        break;
      }
    }
  }
  spelled.expression = std::move(stack.back().text);
  return spelled;
}

std::string Parenthesized(double value, const std::string& text) {
  return std::signbit(value) ? "(" + text + ")" : text;
}

// A literal that C and Python read as a double, never as an integer ("-0" would lose its sign).
std::string CodeConstant(double value) {
  std::string text = ExactText(value);
  if (text.find_first_of(".e") == std::string::npos) text += ".0";
  return Parenthesized(value, text);
}

std::string LatexConstant(double value) {
  std::string text = ExactText(value);
  const std::size_t e = text.find('e');
  if (e != std::string::npos) {
    const int exponent = std::stoi(text.substr(e + 1));
    text = text.substr(0, e) + " \\times 10^{" + std::to_string(exponent) + "}";
  }
  return Parenthesized(value, text);
}

Form TextForm() {
  return {[](int f, const std::string& a, const std::string& b) {
            const NodeEntry& entry = Primitives()[f];
            return entry.arityCode == 1 ? "(" + a + " " + entry.symbol + " " + b + ")"
                                        : entry.symbol + "(" + a + ")";
          },
          VariableSymbol, [](double v) { return Parenthesized(v, ExactText(v)); }, 0};
}

Form CodeForm(const char* Spelling::*column) {
  return {[column](int f, const std::string& a, const std::string& b) {
            return Substitute(kSpellings[f].*column, a, b);
          },
          VariableSymbol, CodeConstant, kMaxCodeDepth};
}

Form LatexForm() {
  return {[](int f, const std::string& a, const std::string& b) {
            return Substitute(kSpellings[f].latex, a, b);
          },
          [](int k) { return "X_{" + std::to_string(k) + "}"; }, LatexConstant, 0};
}

const std::vector<ModelNode>& ChosenProgram(const Model& model, std::size_t population) {
  ValidateModel(model);
  return model.populations[ChoosePopulation(model, population)].program;
}

// The variables a program reads, ascending.
std::vector<int> UsedVariables(const std::vector<ModelNode>& program) {
  std::vector<int> used;
  for (const ModelNode& node : program) {
    if (node.kind == ModelNode::Kind::Variable) used.push_back(node.index);
  }
  std::sort(used.begin(), used.end());
  used.erase(std::unique(used.begin(), used.end()), used.end());
  return used;
}

// The notes of the functions a program uses, one per line after `prefix`.
std::string Notes(const std::vector<ModelNode>& program, const std::string& prefix) {
  std::array<bool, kFunctionTableSize> used{};
  for (const ModelNode& node : program) {
    if (node.kind == ModelNode::Kind::Function) used[node.index] = true;
  }
  std::string notes;
  for (int f = 0; f < kFunctionTableSize; ++f) {
    if (used[f] && kSpellings[f].note) notes += prefix + kSpellings[f].note + "\n";
  }
  if (used[kLn] || used[kLog10] || used[kSqrt]) notes += prefix + kMagnitudeNote + "\n";
  return notes;
}

// What the code forms differ in besides their statement syntax.
struct CodeSyntax {
  const char* Spelling::*column;
  const char* inputBefore;  // around the index k of an input: "x[" k "]"
  const char* inputAfter;
  const char* round;  // the 15-digit rounding helper
  const char* clip;   // the clip helper
};
constexpr CodeSyntax kCSyntax{&Spelling::c, "x[", "]", "vobrix_round15", "vobrix_clip"};
constexpr CodeSyntax kPythonSyntax{&Spelling::python, "float(x[", "])", "_round15", "_clip"};

std::string ClipCall(const std::string& helper, const Clip& clip, const std::string& value) {
  return helper + "(" + value + ", " + CodeConstant(clip.low) + ", " + CodeConstant(clip.high) +
         ")";
}

// The assignments of a code function, in order, the result last: the inputs the program reads
// (normalized exactly as the run's data were), the temporaries of a deep expression, the
// program's value p, then the scaling a + b * p, the mapping back low + (high - low) * s and
// the clip.
std::vector<std::pair<std::string, std::string>> CodeStatements(const Model& model,
                                                                std::size_t population,
                                                                const CodeSyntax& syntax) {
  const std::size_t chosen = ChoosePopulation(model, population);
  const std::vector<ModelNode>& program = model.populations[chosen].program;
  const std::optional<LinearScaling>& scaling = ScalingOf(model, chosen);
  std::vector<std::pair<std::string, std::string>> statements;
  std::string low, high;
  if (model.normalization) {
    low = CodeConstant(model.normalization->low);
    high = CodeConstant(model.normalization->high);
  }
  for (int k : UsedVariables(program)) {
    std::string input =
        std::string(syntax.inputBefore).append(std::to_string(k)).append(syntax.inputAfter);
    if (model.normalization) {
      const std::string round = syntax.round;
      input = round + "(" + round + "(" + input + " - " + low + ") / (" + high + " - " + low + "))";
    }
    statements.push_back({VariableSymbol(k), input});
  }
  const Spelled spelled = Spell(program, CodeForm(syntax.column));
  for (std::size_t t = 0; t < spelled.temporaries.size(); ++t) {
    statements.push_back({TemporaryName(t), spelled.temporaries[t]});
  }
  statements.push_back({"p", spelled.expression});
  if (scaling) {
    statements.push_back({"s", CodeConstant(scaling->a) + " + " + CodeConstant(scaling->b) + " * " +
                                   statements.back().first});
  }
  if (model.normalization) {
    statements.push_back(
        {"y", low + " + (" + high + " - " + low + ") * " + statements.back().first});
  }
  if (model.clip) {
    statements.push_back({"c", ClipCall(syntax.clip, *model.clip, statements.back().first)});
  }
  return statements;
}

// What the exported function computes: "population 2", "member 3", "ensemble of 5 members".
std::string Subject(const Model& model, std::size_t population) {
  if (model.ensemble) {
    return "ensemble of " + std::to_string(model.ensemble->runs) +
           " members (their median, then clipped)";
  }
  return "population " + std::to_string(ChoosePopulation(model, population) + 1);
}

std::string Header(const Model& model, const std::string& subject, const std::string& prefix) {
  std::string text = prefix + "Vobrix model (format " + std::to_string(FormatVersion(model)) +
                     "), " + subject + ", window of " + std::to_string(model.windowSize) +
                     (model.windowSize == 1 ? " value.\n" : " values.\n");
  const std::string last = std::to_string(model.windowSize - 1);
  text += prefix +
          (model.windowSize == 1
               ? std::string("x[0] is X0, the latest value")
               : "x[0] is X0, the oldest value, x[" + last + "] is X" + last + ", the latest") +
          ", in the data's units.\n";
  if (model.normalization) {
    text +=
        prefix + "The inputs are normalized as the run's data were: (x - low) / (high - low),\n";
    text += prefix + "x - low and the quotient each rounded to 15 significant digits (half away\n";
    text +=
        prefix + "from zero); the program's value p is mapped back by low + (high - low) * p.\n";
  }
  if (model.clip) {
    text += prefix + "The prediction is held to [" + ExactText(model.clip->low) + ", " +
            ExactText(model.clip->high) + "] (NaN stays NaN).\n";
  }
  return text;
}

// How an export spells input i, and |c| times an input for a coefficient other than -1 and 1.
struct DifferenceSpelling {
  std::function<std::string(std::size_t)> input;
  std::function<std::string(double)> times;  // "0.25 * " or "0.25 \\cdot "
};

// |c[k]| times input i, the factor left out when it is 1 (1 * y is y to the bit).
std::string Term(double c, std::size_t i, const DifferenceSpelling& spell) {
  return (std::fabs(c) == 1.0 ? std::string() : spell.times(std::fabs(c))) + spell.input(i);
}

// The differenced value at input t as the code sums it (difference.cpp): y[t] first, then
// each c[k] * y[t - k] added, k from 1 up; adding (-a) * y is subtracting a * y to the bit.
std::string DifferencedCode(const std::vector<double>& c, std::size_t t,
                            const DifferenceSpelling& spell) {
  std::string text = spell.input(t);
  for (std::size_t k = 1; k < c.size(); ++k) {
    if (c[k] != 0.0) text.append(c[k] < 0.0 ? " - " : " + ").append(Term(c[k], t - k, spell));
  }
  return text;
}

// The differenced value at input t as code computes it: the sum of DifferencedCode, given with
// the sum of its terms' sizes and their count to `call`, which makes it 0 within their rounding
// (difference.h): "vobrix_difference(x[13] - x[1], fabs(x[13]) + fabs(x[1]), 2)".
std::string RoundedDifferenceCode(const std::vector<double>& c, std::size_t t,
                                  const DifferenceSpelling& spell, const std::string& call,
                                  const std::string& size) {
  std::string sizes = size + "(" + spell.input(t) + ")";
  int terms = 1;
  for (std::size_t k = 1; k < c.size(); ++k) {
    if (c[k] == 0.0) continue;
    sizes.append(" + ").append(size).append("(").append(Term(c[k], t - k, spell)).append(")");
    ++terms;
  }
  return call + "(" + DifferencedCode(c, t, spell) + ", " + sizes + ", " + std::to_string(terms) +
         ")";
}

// The base of input `target` as the code sums it: -(c[k] * y[t - k]) for the first k from 1
// with c[k] != 0, then each later c[k] * y[t - k] subtracted.
std::string BaseCode(const std::vector<double>& c, std::size_t target,
                     const DifferenceSpelling& spell) {
  std::string text;
  for (std::size_t k = 1; k < c.size(); ++k) {
    if (c[k] == 0.0) continue;
    if (text.empty()) {
      text.append(c[k] < 0.0 ? "" : "-").append(Term(c[k], target - k, spell));
    } else {
      text.append(c[k] < 0.0 ? " + " : " - ").append(Term(c[k], target - k, spell));
    }
  }
  return text;
}

std::string CodeTimes(double c) {
  return ExactText(c) + " * ";
}

// The model without its differencing: what the differenced inputs are given to.
Model Undifferenced(const Model& model) {
  Model inner = model;
  inner.formatVersion = FormatVersion(model);
  inner.difference.clear();
  inner.differenceSeasons = 1;
  return inner;
}

// When a difference counts as 0 (difference.h), in words.
constexpr const char* kRoundedDifference =
    "within n * 2^-52 times the sum of its terms' sizes, the rounding of decimal data";

// Comment lines on a differenced model's inputs, behind `prefix`.
std::string DifferenceHeader(const Model& model, const std::string& prefix) {
  const std::int32_t n = InputCount(model);
  return prefix + "Differenced at " + LagsText(model.difference, model.differenceSeasons) +
         ": x[0] .. x[" + std::to_string(n - 1) + "] are the latest " + std::to_string(n) +
         " values, the oldest first, in the data's units;\n" + prefix + "the formula reads their " +
         std::to_string(model.windowSize) +
         " latest differences and predicts the next difference,\n" + prefix +
         "to which the base of the earlier values is added. A difference of n terms is 0 when\n" +
         prefix + kRoundedDifference + ".\n";
}

// "term(0) + term(1) + ... + term(count - 1)": a sum taken from the first term on, as the
// predictor adds a model's parts.
std::string Sum(std::size_t count, const std::function<std::string(std::size_t)>& term) {
  std::string text = term(0);
  for (std::size_t k = 1; k < count; ++k) text += " + " + term(k);
  return text;
}

// "name_part1", "name_member2", ...: the function of the k-th (0-based) part or member.
std::string NumberedName(const std::string& name, const char* what, std::size_t k) {
  return name + "_" + what + std::to_string(k + 1);
}

// Where part k's inputs start among the model's: it reads the latest InputCount of them.
std::size_t PartOffset(const Model& model, std::size_t k) {
  return static_cast<std::size_t>(InputCount(model) - InputCount(model.parts[k]));
}

// Comment lines on a model of parts' inputs, behind `prefix`.
std::string PartsHeader(const Model& model, const std::string& prefix) {
  std::string text = prefix + "Vobrix model (format " + std::to_string(FormatVersion(model)) +
                     "), the mean of " + std::to_string(model.parts.size()) +
                     " forecasts (their sum, from the first on, over their count).\n" + prefix +
                     "x[0] .. x[" + std::to_string(InputCount(model) - 1) + "] are the latest " +
                     std::to_string(InputCount(model)) +
                     " values, the oldest first, in the data's units;\n" + prefix;
  for (std::size_t k = 0; k < model.parts.size(); ++k) {
    text +=
        (k == 0 ? "part 1 reads the latest " : ", part " + std::to_string(k + 1) + " the latest ") +
        std::to_string(InputCount(model.parts[k]));
  }
  return text + ".\n";
}

// The line before part k's own text in the text and LaTeX forms, `value` its forecast.
std::string PartLabel(const Model& model, std::size_t k, const std::string& value) {
  return "Part " + std::to_string(k + 1) + ", " + value + " from the latest " +
         std::to_string(InputCount(model.parts[k])) + " inputs:\n";
}

// Every `from` in the text made `to`.
std::string ReplacedAll(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos;
       at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

}  // namespace

std::string InfixText(const std::vector<ModelNode>& program) {
  return Spell(program, TextForm()).expression;
}

namespace {

// ", held to [low, high]" with a clip.
std::string ClipText(const Model& model) {
  if (!model.clip) return "";
  return ", held to [" + ExactText(model.clip->low) + ", " + ExactText(model.clip->high) + "]";
}

// Every member's program one after the other, for the notes of the functions they use.
std::vector<ModelNode> AllMembers(const Model& model) {
  std::vector<ModelNode> all;
  for (const MemberModel& member : model.ensemble->members) {
    all.insert(all.end(), member.program.begin(), member.program.end());
  }
  return all;
}

std::string EnsembleText(const Model& model) {
  const auto& members = model.ensemble->members;
  std::string text = "y = median(P1 .. P" + std::to_string(members.size()) + ")" + ClipText(model) +
                     "; the mean of the two middle values for an even count\n";
  for (std::size_t k = 0; k < members.size(); ++k) {
    text.append("P").append(std::to_string(k + 1)).append(" = ");
    const std::string p = InfixText(members[k].program);
    const std::optional<LinearScaling>& s = members[k].scaling;
    text.append(s ? ExactText(s->a) + " + " + ExactText(s->b) + " * (" + p + ")" : p).append("\n");
  }
  return text + Notes(AllMembers(model), "  ");
}

std::string EnsembleLatex(const Model& model) {
  const auto& members = model.ensemble->members;
  std::string text = Header(model, Subject(model, 0), "% ") + Notes(AllMembers(model), "% ");
  text += "% the median of an even count is the mean of the two middle values\n";
  std::string value = "\\operatorname{median}\\left(P_{1}, \\ldots, P_{" +
                      std::to_string(members.size()) + "}\\right)";
  if (model.clip) {
    value = "\\min\\left(\\max\\left(" + value + ", " + LatexConstant(model.clip->low) +
            "\\right), " + LatexConstant(model.clip->high) + "\\right)";
  }
  text += "\\hat{y} = " + value + "\n";
  for (std::size_t k = 0; k < members.size(); ++k) {
    const std::string p = Spell(members[k].program, LatexForm()).expression;
    const std::optional<LinearScaling>& s = members[k].scaling;
    text +=
        "P_{" + std::to_string(k + 1) + "} = " +
        (s ? LatexConstant(s->a) + " + " + LatexConstant(s->b) + " \\left(" + p + "\\right)" : p) +
        "\n";
  }
  return text;
}

// The mean of the parts' forecasts, then each part's own text with its forecast named yk.
std::string PartsText(const Model& model) {
  const std::size_t count = model.parts.size();
  const auto y = [](std::size_t k) { return "y" + std::to_string(k + 1); };
  std::string text = "y = (" + Sum(count, y) + ") / " + std::to_string(count) + ": the mean of " +
                     std::to_string(count) + " forecasts, for inputs x[0] .. x[" +
                     std::to_string(InputCount(model) - 1) + "] (the oldest first)\n";
  for (std::size_t k = 0; k < count; ++k) {
    // Every other model's text opens with its "y = ...".
    text += PartLabel(model, k, y(k)) + y(k) + ExportText(model.parts[k], 0).substr(1);
  }
  return text;
}

std::string PartsLatex(const Model& model) {
  const std::size_t count = model.parts.size();
  const auto y = [](std::size_t k) { return "\\hat{y}_{" + std::to_string(k + 1) + "}"; };
  std::string text = PartsHeader(model, "% ") + "\\hat{y} = \\frac{" + Sum(count, y) + "}{" +
                     std::to_string(count) + "}\n";
  for (std::size_t k = 0; k < count; ++k) {
    text += "% " + PartLabel(model, k, y(k)) +
            ReplacedAll(ExportLatex(model.parts[k], 0), "\\hat{y}", y(k));
  }
  return text;
}

}  // namespace

std::string ExportText(const Model& model, std::size_t population) {
  if (!model.parts.empty()) {
    ValidateModel(model);
    return PartsText(model);
  }
  if (!model.difference.empty()) {
    ValidateModel(model);
    const std::vector<double> c = DifferenceCoefficientsOf(model);
    const auto span = static_cast<std::size_t>(DifferenceSpanOf(model));
    const auto n = static_cast<std::size_t>(InputCount(model));
    const DifferenceSpelling x{[](std::size_t i) { return "x[" + std::to_string(i) + "]"; },
                               CodeTimes};
    const DifferenceSpelling relative{
        [span](std::size_t i) {
          return "x[k" + (i == span ? std::string() : " - " + std::to_string(span - i)) + "]";
        },
        CodeTimes};
    std::string inner = ExportText(Undifferenced(model), population);
    inner[0] = 'v';  // the formula's own "y = ..." predicts the difference v
    return "y = " + BaseCode(c, n, x) + " + v, for inputs x[0] .. x[" + std::to_string(n - 1) +
           "] (the oldest first)\nXj = " + DifferencedCode(c, span, relative) + " with k = j + " +
           std::to_string(span) + " (j = 0 .. " + std::to_string(model.windowSize - 1) +
           "): the inputs differenced at " + LagsText(model.difference, model.differenceSeasons) +
           ", and 0 when " + kRoundedDifference + " (n terms)\n" + inner;
  }
  if (model.ensemble) {
    ValidateModel(model);
    return EnsembleText(model);
  }
  const std::vector<ModelNode>& program = ChosenProgram(model, population);
  const std::optional<LinearScaling>& scaling =
      ScalingOf(model, ChoosePopulation(model, population));
  std::string value = "P";
  std::string text;
  if (scaling) value = ExactText(scaling->a) + " + " + ExactText(scaling->b) + " * P";
  if (model.normalization) {
    const std::string low =
        Parenthesized(model.normalization->low, ExactText(model.normalization->low));
    const std::string high =
        Parenthesized(model.normalization->high, ExactText(model.normalization->high));
    text += "y = " + low + " + (" + high + " - " + low + ") * (" + value + ")\n";
    text += "where Xk = (xk - " + low + ") / (" + high + " - " + low +
            "), each stage rounded to 15 significant digits\n";
  } else {
    text += "y = " + value + ClipText(model) + "\n";
  }
  text += "P = " + InfixText(program) + "\n";
  return text + Notes(program, "  ");
}

namespace {

// Whether a model's code, or any of its parts', calls the clip, the median or the rounded
// difference.
bool NeedsGuards(const Model& model) {
  return model.clip || model.ensemble || !model.difference.empty() ||
         std::any_of(model.parts.begin(), model.parts.end(), NeedsGuards);
}

// The mean of the parts' functions, name_part1 ..., each given the latest values it reads
// (`from` spells the inputs from an offset on), summed as the predictor sums them.
std::string PartsMean(const Model& model, const std::string& name,
                      const std::function<std::string(std::size_t)>& from) {
  return "(" +
         Sum(model.parts.size(),
             [&](std::size_t k) {
               return NumberedName(name, "part", k) + "(" + from(PartOffset(model, k)) + ")";
             }) +
         ") / " + std::to_string(model.parts.size()) + ".0";
}

}  // namespace

std::string CPreamble(bool withNormalization, bool withGuards) {
  std::string text = kCHead;
  if (withNormalization) text += "#include <stdio.h>\n#include <stdlib.h>\n";
  text += kCPrimitives;
  if (withNormalization) text += kCRound15;
  if (withGuards) text += kCGuards;
  return text;
}

namespace {

std::string MemberName(const std::string& name, std::size_t k) {
  return NumberedName(name, "member", k);
}

std::string CProgramFunction(const Model& model, std::size_t population, const std::string& subject,
                             const std::string& name) {
  const std::vector<ModelNode>& program = ChosenProgram(model, population);
  std::string text = "\n";
  text += Header(model, subject, "// ") + Notes(program, "// ");
  text += "double " + name + "(const double *x) {\n";
  if (UsedVariables(program).empty()) text += "  (void)x;\n";
  const auto statements = CodeStatements(model, population, kCSyntax);
  for (const auto& [variable, expression] : statements) {
    text += "  const double " + variable + " = " + expression + ";\n";
  }
  return text + "  return " + statements.back().first + ";\n}\n";
}

std::string MemberSubject(std::size_t k) {
  return "member " + std::to_string(k + 1) + " of an ensemble (before the median and the clip)";
}

std::string CEnsembleFunction(const Model& model, const std::string& name) {
  const std::size_t count = model.ensemble->members.size();
  std::string text;
  for (std::size_t k = 0; k < count; ++k) {
    text += CProgramFunction(MemberAsModel(model, k), 0, MemberSubject(k), MemberName(name, k));
  }
  text += "\n" + Header(model, Subject(model, 0), "// ");
  text += "double " + name + "(const double *x) {\n";
  text += "  double v[" + std::to_string(count) + "];\n";
  for (std::size_t k = 0; k < count; ++k) {
    text += "  v[" + std::to_string(k) + "] = " + MemberName(name, k) + "(x);\n";
  }
  const std::string median = "vobrix_median(v, " + std::to_string(count) + ")";
  return text + "  return " + (model.clip ? ClipCall("vobrix_clip", *model.clip, median) : median) +
         ";\n}\n";
}

// The undifferenced model's function as name_differenced, and name(x) that gives it the
// differences of x and adds the base.
std::string CDifferencedFunction(const Model& model, std::size_t population,
                                 const std::string& name) {
  const std::string inner = name + "_differenced";
  const std::vector<double> c = DifferenceCoefficientsOf(model);
  const auto span = static_cast<std::size_t>(DifferenceSpanOf(model));
  const auto w = static_cast<std::size_t>(model.windowSize);
  const DifferenceSpelling x{[](std::size_t i) { return "x[" + std::to_string(i) + "]"; },
                             CodeTimes};
  std::string text = CFunction(Undifferenced(model), population, inner) + "\n";
  text += DifferenceHeader(model, "// ");
  text += "double " + name + "(const double *x) {\n  double z[" + std::to_string(w) + "];\n";
  for (std::size_t j = 0; j < w; ++j) {
    text += "  z[" + std::to_string(j) +
            "] = " + RoundedDifferenceCode(c, j + span, x, "vobrix_difference", "fabs") + ";\n";
  }
  return text + "  return " + BaseCode(c, w + span, x) + " + " + inner + "(z);\n}\n";
}

// One function per part, name_part1 ..., and name(x) that gives each its latest values.
std::string CPartsFunction(const Model& model, const std::string& name) {
  std::string text;
  for (std::size_t k = 0; k < model.parts.size(); ++k) {
    text += CFunction(model.parts[k], 0, NumberedName(name, "part", k));
  }
  const auto from = [](std::size_t offset) {
    return offset == 0 ? std::string("x") : "x + " + std::to_string(offset);
  };
  return text + "\n" + PartsHeader(model, "// ") + "double " + name +
         "(const double *x) {\n  return " + PartsMean(model, name, from) + ";\n}\n";
}

}  // namespace

std::string CFunction(const Model& model, std::size_t population, const std::string& name) {
  if (!model.parts.empty()) {
    ValidateModel(model);
    return CPartsFunction(model, name);
  }
  if (!model.difference.empty()) {
    ValidateModel(model);
    return CDifferencedFunction(model, population, name);
  }
  if (model.ensemble) {
    ValidateModel(model);
    return CEnsembleFunction(model, name);
  }
  return CProgramFunction(model, population, Subject(model, population), name);
}

std::string ExportC(const Model& model, std::size_t population) {
  ValidateModel(model);
  return CPreamble(model.normalization.has_value(), NeedsGuards(model)) +
         CFunction(model, population, "vobrix_predict");
}

std::string PythonPreamble(bool withNormalization, bool withGuards) {
  std::string text = "import math\n";
  if (withNormalization) text += "from decimal import Context, Decimal, ROUND_HALF_UP\n";
  text += kPythonPrimitives;
  if (withNormalization) text += kPythonRound15;
  if (withGuards) text += kPythonGuards;
  return text;
}

namespace {

std::string PythonProgramFunction(const Model& model, std::size_t population,
                                  const std::string& subject, const std::string& name) {
  const std::vector<ModelNode>& program = ChosenProgram(model, population);
  std::string text = "\n\n";
  text += Header(model, subject, "# ") + Notes(program, "# ");
  text += "def " + name + "(x):\n";
  const auto statements = CodeStatements(model, population, kPythonSyntax);
  for (const auto& [variable, expression] : statements) {
    text += "    " + variable + " = " + expression + "\n";
  }
  return text + "    return " + statements.back().first + "\n";
}

std::string PythonEnsembleFunction(const Model& model, const std::string& name) {
  std::string text, calls;
  for (std::size_t k = 0; k < model.ensemble->members.size(); ++k) {
    text +=
        PythonProgramFunction(MemberAsModel(model, k), 0, MemberSubject(k), MemberName(name, k));
    calls.append(k == 0 ? "" : ", ").append(MemberName(name, k)).append("(x)");
  }
  text += "\n\n" + Header(model, Subject(model, 0), "# ");
  const std::string median = "_median([" + calls + "])";
  return text + "def " + name + "(x):\n    return " +
         (model.clip ? ClipCall("_clip", *model.clip, median) : median) + "\n";
}

std::string PythonDifferencedFunction(const Model& model, std::size_t population,
                                      const std::string& name) {
  const std::string inner = name + "_differenced";
  const std::vector<double> c = DifferenceCoefficientsOf(model);
  const auto span = static_cast<std::size_t>(DifferenceSpanOf(model));
  const auto w = static_cast<std::size_t>(model.windowSize);
  const DifferenceSpelling x{[](std::size_t i) { return "float(x[" + std::to_string(i) + "])"; },
                             CodeTimes};
  std::string text = PythonFunction(Undifferenced(model), population, inner) + "\n\n";
  text += DifferenceHeader(model, "# ");
  text += "def " + name + "(x):\n    z = [\n";
  for (std::size_t j = 0; j < w; ++j) {
    text += "        " + RoundedDifferenceCode(c, j + span, x, "_difference", "abs") + ",\n";
  }
  return text + "    ]\n    return " + BaseCode(c, w + span, x) + " + " + inner + "(z)\n";
}

std::string PythonPartsFunction(const Model& model, const std::string& name) {
  std::string text;
  for (std::size_t k = 0; k < model.parts.size(); ++k) {
    text += PythonFunction(model.parts[k], 0, NumberedName(name, "part", k));
  }
  const auto from = [](std::size_t offset) {
    return offset == 0 ? std::string("x") : "x[" + std::to_string(offset) + ":]";
  };
  return text + "\n\n" + PartsHeader(model, "# ") + "def " + name + "(x):\n    return " +
         PartsMean(model, name, from) + "\n";
}

}  // namespace

std::string PythonFunction(const Model& model, std::size_t population, const std::string& name) {
  if (!model.parts.empty()) {
    ValidateModel(model);
    return PythonPartsFunction(model, name);
  }
  if (!model.difference.empty()) {
    ValidateModel(model);
    return PythonDifferencedFunction(model, population, name);
  }
  if (model.ensemble) {
    ValidateModel(model);
    return PythonEnsembleFunction(model, name);
  }
  return PythonProgramFunction(model, population, Subject(model, population), name);
}

std::string ExportPython(const Model& model, std::size_t population) {
  ValidateModel(model);
  return PythonPreamble(model.normalization.has_value(), NeedsGuards(model)) +
         PythonFunction(model, population, "predict");
}

std::string ExportLatex(const Model& model, std::size_t population) {
  if (!model.parts.empty()) {
    ValidateModel(model);
    return PartsLatex(model);
  }
  if (!model.difference.empty()) {
    ValidateModel(model);
    const std::vector<double> c = DifferenceCoefficientsOf(model);
    const auto n = static_cast<std::size_t>(InputCount(model));
    const DifferenceSpelling x{[](std::size_t i) { return "x_{" + std::to_string(i) + "}"; },
                               [](double a) { return LatexConstant(a) + " \\cdot "; }};
    return DifferenceHeader(model, "% ") +
           ReplacedAll(ExportLatex(Undifferenced(model), population), "\\hat{y}", "\\hat{v}") +
           "\\hat{y} = " + BaseCode(c, n, x) + " + \\hat{v}\n";
  }
  if (model.ensemble) {
    ValidateModel(model);
    return EnsembleLatex(model);
  }
  const std::vector<ModelNode>& program = ChosenProgram(model, population);
  std::string text = Header(model, Subject(model, population), "% ") + Notes(program, "% ");
  const std::string p = Spell(program, LatexForm()).expression;
  const std::optional<LinearScaling>& scaling =
      ScalingOf(model, ChoosePopulation(model, population));
  std::string value = "P";
  if (scaling) value = LatexConstant(scaling->a) + " + " + LatexConstant(scaling->b) + " P";
  if (model.normalization) {
    const std::string low = LatexConstant(model.normalization->low);
    const std::string high = LatexConstant(model.normalization->high);
    text += "\\hat{y} = " + low + " + \\left(" + high + " - " + low + "\\right)\\left(" + value +
            "\\right), \\quad X_{k} = \\frac{x_{k} - " + low + "}{" + high + " - " + low +
            "}, \\quad P = " + p + "\n";
  } else {
    text += "\\hat{y} = " + (scaling ? value + ", \\quad P = " + p : p) + "\n";
    if (model.clip)
      text += "% then held to [" + ExactText(model.clip->low) + ", " + ExactText(model.clip->high) +
              "]\n";
  }
  return text;
}

Exporter ExporterOf(std::string_view format) {
  const std::pair<std::string_view, Exporter> exporters[] = {
      {"text", ExportText}, {"c", ExportC}, {"python", ExportPython}, {"latex", ExportLatex}};
  for (const auto& [name, exporter] : exporters) {
    if (format == name) return exporter;
  }
  return nullptr;
}

std::string ExportFile(Exporter exporter, const Model& model, std::size_t population) {
  std::string text = exporter(model, population);
  if (!text.empty() && text.back() != '\n') text += '\n';
  return text;
}

}  // namespace vobrix::model
