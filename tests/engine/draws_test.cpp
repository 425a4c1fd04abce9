// Which random draws the node draw, the grower and the one-point cuts make, in which order and
// how many: checked against an independent model of the generator, because a changed draw
// count or order shifts every later draw of a run.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "engine/gp_opr.h"
#include "engine/init.h"
#include "engine/misc.h"
#include "fixture.h"
#include "reference_random.h"

namespace vobrix {
namespace {

using test::OwnedIndividual;
using test::PlaceBeforeRand15;
using test::ReferenceRandom;
using test::TestProblem;

// One Rand15 draw mod length up to 32768 Nodes, two joined to 30 bits beyond.
TEST(CutPositionTest, OneRand15DrawUpTo32768NodesAndTwoJoinedTo30BitsBeyond) {
  const std::int32_t lengths[] = {1,
                                  2,
                                  3,
                                  7,
                                  70,
                                  100,
                                  4096,
                                  32767,
                                  32768,
                                  32769,
                                  100000,
                                  1 << 30,
                                  std::numeric_limits<std::int32_t>::max()};
  for (std::uint32_t seed : {1u, 12345u, 4000000000u}) {
    for (std::int32_t length : lengths) {
      SeedRandom(seed);
      ReferenceRandom ref = ReferenceRandom::Seeded(seed);
      for (int k = 0; k < 200; ++k) {
        std::int64_t draw = ref.Rand15();
        if (length > 32768) draw = (draw << 15) | ref.Rand15();
        ASSERT_EQ(DrawCutPosition(length), draw % length) << seed << " " << length;
        ASSERT_EQ(RandomState(), ref.state()) << "draws per cut, length " << length;
      }
    }
  }
  // Draws at the top of the range are used, not drawn again: 32767 mod 70 is 7.
  for (const auto& [value, length] : {std::pair{32767, 70}, {32760, 70}, {32766, 100}}) {
    PlaceBeforeRand15(value);
    ReferenceRandom ref(RandomState());
    EXPECT_EQ(DrawCutPosition(length), value % length);
    ref.Rand15();
    EXPECT_EQ(RandomState(), ref.state()) << value;
  }
}

// The one-point operator draws the first parent's cut, then the second's, one Rand15 draw each,
// and draws the pair again until the open counts match and the child fits.
TEST(CutPositionTest, OnePointMutationDrawsFirstCutThenSecondOnePairPerAttempt) {
  TestProblem problem({kAdd, kMultiply, kSin, kCos}, 3, {0.5, 2.0});
  const NodeDrawSetup setup{4, 3, 2, 0.5f, 0.3f};
  const auto openCount = [&](const Individual& p, std::int32_t last) {
    std::int32_t open = 0;
    for (std::int32_t k = 0; k <= last; ++k) open += problem.get().nodeTable[p.genes[k]].arityCode;
    return open;
  };
  std::vector<Node> scratch(70);
  int redrawn = 0;
  for (std::uint32_t seed = 1; seed <= 60; ++seed) {
    SeedRandom(seed);
    const std::int32_t na = GrowProgram(scratch.data(), 4, 70, setup);
    OwnedIndividual a({scratch.begin(), scratch.begin() + na}, 70);
    const std::int32_t nb = GrowProgram(scratch.data(), 4, 70, setup);
    OwnedIndividual b({scratch.begin(), scratch.begin() + nb}, 70);
    OwnedIndividual child({}, 70), expected({}, 70);
    const std::int32_t maxLength = seed % 2 ? 70 : std::max(na, nb);

    ReferenceRandom ref(RandomState());
    std::int32_t i = 0, j = 0, attempts = 0;
    do {
      i = ref.Rand15() % na;
      j = ref.Rand15() % nb;
      ++attempts;
    } while (openCount(a.ind, i) != openCount(b.ind, j) || nb + i - j > maxLength);
    redrawn += attempts > 1;
    SpliceOnePoint(expected.ind, a.ind, i, b.ind, j, maxLength);

    OnePointMutation(child.ind, a.ind, b.ind, maxLength);
    EXPECT_EQ(child.Program(), expected.Program()) << "seed " << seed;
    EXPECT_EQ(RandomState(), ref.state()) << "seed " << seed << ", " << attempts << " attempts";
  }
  EXPECT_GT(redrawn, 20);  // the redraw path really took part
}

// F = 4 functions, V = 3 variables, C = 5 constants.
constexpr std::int32_t kF = 4, kV = 3, kC = 5;
enum Block { kFunctionBlock, kVariableBlock, kConstantBlock };

float UnitOf(int k) {
  return static_cast<float>(k / 32767.0L);
}

// The first Rand15 value whose unit draw rounds up when narrowed to single precision.
int FirstDrawRoundedUp() {
  int k = 1;
  while (static_cast<double>(UnitOf(k)) <= k / 32767.0) ++k;
  return k;
}

TEST(DrawNodeTest, KindThresholdsIndexWithinBlockAndTwoDrawsPerRequest) {
  const float uHalf = UnitOf(16384);  // 0.50001525...
  const int up = FirstDrawRoundedUp();
  const struct {
    NodeKindRequest request;
    int k;  // the Rand15 value of the unit draw
    float functionRatio, variableRatio;
    Block block;
  } cases[] = {
      {NodeKindRequest::Terminal, 0, 1.0f, 0.0f, kConstantBlock},  // 0/0 never wins
      {NodeKindRequest::Function, 32767, 0.0f, 0.0f, kFunctionBlock},
      // Both kind tests are strict: a draw equal to the function share is not a function, and
      // one equal to the function and variable shares together is not a variable.
      {NodeKindRequest::Any, 16384, uHalf, 0.0f, kConstantBlock},
      {NodeKindRequest::Any, 16383, uHalf, 0.0f, kFunctionBlock},
      {NodeKindRequest::Any, 16384, uHalf, 0.25f, kVariableBlock},
      {NodeKindRequest::Terminal, 16384, 0.0f, uHalf, kConstantBlock},
      {NodeKindRequest::Terminal, 16383, 0.0f, uHalf, kVariableBlock},
      // The draw is compared in single precision: narrowed, it equals this share (no
      // function), while its wider value lies below it.
      {NodeKindRequest::Any, up, UnitOf(up), 0.0f, kConstantBlock},
      {NodeKindRequest::Terminal, up, 0.0f, UnitOf(up), kConstantBlock},
      // A draw of exactly 1.0 is no function even with a function share of 1.
      {NodeKindRequest::Any, 32767, 1.0f, 0.0f, kConstantBlock},
      {NodeKindRequest::Any, 32766, 1.0f, 0.0f, kFunctionBlock},
  };
  const std::int32_t starts[] = {0, kF, kF + kV}, sizes[] = {kF, kV, kC};
  for (std::size_t c = 0; c < std::size(cases); ++c) {
    const auto& t = cases[c];
    for (std::uint32_t high : {0u, 77u, 0x9E3779B9u}) {  // vary the index draw
      PlaceBeforeRand15(t.k, high);
      ReferenceRandom ref(RandomState());
      const Node node =
          DrawNode(t.request, NodeDrawSetup{kF, kV, kC, t.functionRatio, t.variableRatio});
      ref.Rand15();
      const std::int32_t expected = starts[t.block] + ref.Below(sizes[t.block]);
      EXPECT_EQ(node, expected) << "case " << c;
      EXPECT_EQ(RandomState(), ref.state()) << "case " << c << ": one unit draw, one index draw";
    }
  }
}

// The growing procedure, modelled independently: depths are tracked with a stack of the open
// argument slots instead of measuring the incomplete program.
class GrowthModel {
 public:
  GrowthModel(const Problem& problem, const NodeDrawSetup& setup, ReferenceRandom& ref)
      : problem_(problem), setup_(setup), ref_(ref) {}

  std::vector<Node> Grow(std::int32_t maxDepth, std::int32_t restartAt) {
    for (;;) {
      std::vector<Node> genes;
      std::vector<std::int32_t> slots = {0};  // depths of the argument slots still open
      while (!slots.empty() && static_cast<std::int32_t>(genes.size()) < restartAt) {
        const std::int32_t depth = slots.back();
        slots.pop_back();
        const NodeKindRequest request = genes.empty()       ? NodeKindRequest::Function
                                        : depth == maxDepth ? NodeKindRequest::Terminal
                                                            : NodeKindRequest::Any;
        const Node node = Draw(request);
        genes.push_back(node);
        const std::int32_t arguments = problem_.nodeTable[node].arityCode + 1;
        slots.insert(slots.end(), arguments, depth + 1);
      }
      if (slots.empty()) return genes;
    }
  }

 private:
  Node Draw(NodeKindRequest request) {
    const float u = ref_.UnitFloat();
    const double f = setup_.functionRatio, v = setup_.variableRatio;
    const bool function =
        request == NodeKindRequest::Function || (request == NodeKindRequest::Any && u < f);
    if (function) return ref_.Below(setup_.functionCount);
    const bool variable = request == NodeKindRequest::Terminal ? v / (1.0 - f) > u : f + v > u;
    if (variable) return setup_.functionCount + ref_.Below(setup_.variableCount);
    return setup_.functionCount + setup_.variableCount + ref_.Below(setup_.constantCount);
  }

  const Problem& problem_;
  NodeDrawSetup setup_;
  ReferenceRandom& ref_;
};

// Depth 0 sets no limit; with a single function the index draw is still made.
TEST(GrowthTest, SeededProgramsFollowTheGrowingProcedureDrawForDraw) {
  const std::initializer_list<int> all = {kAdd, kSubtract, kMultiply, kDivide, kSin, kLn};
  const struct {
    std::initializer_list<int> functions;
    std::int32_t depth, restartAt;
    float functionRatio, variableRatio;
  } settings[] = {{all, 5, 70, 0.5f, 0.2f},        {all, 1, 70, 0.5f, 0.2f},
                  {all, 0, 70, 0.5f, 0.2f},        {all, 6, 20, 0.6f, 0.2f},
                  {all, 3, 70, 0.9f, 0.05f},       {all, 2, 70, 0.3f, 0.7f},
                  {{kMultiply}, 4, 70, 0.5f, 0.2f}};
  std::vector<Node> scratch(70);
  for (const auto& s : settings) {
    TestProblem problem(s.functions, 5, {0.5, 1.5, 2.5});
    for (std::uint32_t seed : {3u, 1000u, 65536u}) {
      const NodeDrawSetup setup{problem.get().functionCount, 5, 3, s.functionRatio,
                                s.variableRatio};
      SeedRandom(seed);
      ReferenceRandom ref = ReferenceRandom::Seeded(seed);
      GrowthModel model(problem.get(), setup, ref);
      for (int program = 0; program < 40; ++program) {
        const std::int32_t n = GrowProgram(scratch.data(), s.depth, s.restartAt, setup);
        const std::vector<Node> grown(scratch.begin(), scratch.begin() + n);
        ASSERT_EQ(grown, model.Grow(s.depth, s.restartAt))
            << "depth " << s.depth << " seed " << seed << " program " << program;
        ASSERT_EQ(RandomState(), ref.state());
      }
    }
  }
}

}  // namespace
}  // namespace vobrix
