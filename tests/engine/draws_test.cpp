// Which random draws the one-point cuts, the node draw and the grower make, in which order and
// how many, because a changed draw count or order shifts every later draw of a run. (The order
// of the one-point operator's cuts is held by the two-pass breeding test.)
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "engine/gp_opr.h"
#include "engine/init.h"
#include "engine/misc.h"
#include "fixture.h"
#include "reference_random.h"

namespace vobrix {
namespace {

using test::PlaceBeforeRand15;
using test::ReferenceRandom;
using test::TestProblem;

// One Rand15 draw mod length up to 32768 Nodes, two joined to 30 bits beyond.
TEST(CutPositionTest, OneRand15DrawUpTo32768NodesAndTwoJoinedTo30BitsBeyond) {
  const std::int32_t lengths[] = {1,     2,     3,     7,      70,      100,      4096,
                                  32767, 32768, 32769, 100000, 1 << 30, INT32_MAX};
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
  for (std::int32_t f : {kF, 1}) {  // one function still takes an index draw
    const std::int32_t starts[] = {0, f, f + kV}, sizes[] = {f, kV, kC};
    for (std::size_t c = 0; c < std::size(cases); ++c) {
      const auto& t = cases[c];
      for (std::uint32_t high : {0u, 77u, 0x9E3779B9u}) {  // vary the index draw
        PlaceBeforeRand15(t.k, high);
        ReferenceRandom ref(RandomState());
        const Node node =
            DrawNode(t.request, NodeDrawSetup{f, kV, kC, t.functionRatio, t.variableRatio});
        ref.Rand15();
        EXPECT_EQ(node, starts[t.block] + ref.Below(sizes[t.block])) << "case " << c;
        EXPECT_EQ(RandomState(), ref.state()) << "case " << c << ": a unit and an index draw";
      }
    }
  }
}

// The growing procedure, modelled with the node draw checked above: depths are tracked with a
// stack of the open argument slots instead of measuring the incomplete program.
std::vector<Node> ModelGrowth(const NodeDrawSetup& setup, std::int32_t maxDepth,
                              std::int32_t restartAt) {
  for (;;) {
    std::vector<Node> genes;
    std::vector<std::int32_t> slots = {0};  // depths of the argument slots still open
    while (!slots.empty() && static_cast<std::int32_t>(genes.size()) < restartAt) {
      const std::int32_t depth = slots.back();
      slots.pop_back();
      const Node node = DrawNode(genes.empty()       ? NodeKindRequest::Function
                                 : depth == maxDepth ? NodeKindRequest::Terminal
                                                     : NodeKindRequest::Any,
                                 setup);
      genes.push_back(node);
      slots.insert(slots.end(), currentProblem->nodeTable[node].arityCode + 1, depth + 1);
    }
    if (slots.empty()) return genes;
  }
}

// Depth 0 sets no limit.
TEST(GrowthTest, SeededProgramsFollowTheGrowingProcedureDrawForDraw) {
  TestProblem problem({kAdd, kSubtract, kMultiply, kDivide, kSin, kLn}, 5, {0.5, 1.5, 2.5});
  const struct {
    std::int32_t depth, restartAt;
    float functionRatio, variableRatio;
  } settings[] = {{5, 70, 0.5f, 0.2f}, {1, 70, 0.5f, 0.2f},  {0, 70, 0.5f, 0.2f},
                  {6, 20, 0.6f, 0.2f}, {3, 70, 0.9f, 0.05f}, {2, 70, 0.3f, 0.7f}};
  std::vector<Node> scratch(70);
  for (const auto& s : settings) {
    const NodeDrawSetup setup{6, 5, 3, s.functionRatio, s.variableRatio};
    SeedRandom(static_cast<std::uint32_t>(s.depth * 1000 + s.restartAt));
    for (int program = 0; program < 120; ++program) {
      const std::uint64_t state = RandomState();
      const std::int32_t n = GrowProgram(scratch.data(), s.depth, s.restartAt, setup);
      const std::uint64_t after = RandomState();
      SetRandomState(state);
      ASSERT_EQ(std::vector<Node>(scratch.begin(), scratch.begin() + n),
                ModelGrowth(setup, s.depth, s.restartAt))
          << "depth " << s.depth << " program " << program;
      ASSERT_EQ(RandomState(), after);
    }
  }
}

}  // namespace
}  // namespace vobrix
