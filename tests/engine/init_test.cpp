#include "engine/init.h"

#include <gtest/gtest.h>

#include <vector>

#include "engine/misc.h"
#include "fixture.h"

namespace vobrix {
namespace {

using test::TestProblem;

// Positions the generator so that its next Rand15 draw returns r; the high word is kept.
void QueueRand15(int r) {
  // Inverse of 22695477 modulo 2^32, found by Newton's iteration.
  std::uint32_t inverse = 22695477u;
  for (int i = 0; i < 5; ++i) inverse *= 2u - 22695477u * inverse;
  const std::uint32_t wanted = static_cast<std::uint32_t>(r) << 16;
  const std::uint32_t previous = (wanted - 1u) * inverse;
  SetRandomState((RandomState() & 0xFFFFFFFF00000000ull) | previous);
}

int DrawFor(double u, NodeKindRequest request, const NodeDrawSetup& setup) {
  QueueRand15(static_cast<int>(u * 32767.0 + 0.5));
  return DrawNode(request, setup);
}

enum Kind { kFunction, kVariable, kConstant };

Kind KindOf(Node node, const NodeDrawSetup& s) {
  if (node < s.functionCount) return kFunction;
  if (node < s.functionCount + s.variableCount) return kVariable;
  return kConstant;
}

TEST(DrawNodeTest, RatiosSplitTheUnitInterval) {
  SeedRandom(1);
  const NodeDrawSetup s{4, 5, 1000, 0.5f, 0.2f};
  EXPECT_EQ(KindOf(DrawFor(0.3, NodeKindRequest::Any, s), s), kFunction);
  EXPECT_EQ(KindOf(DrawFor(0.5, NodeKindRequest::Any, s), s), kVariable);
  EXPECT_EQ(KindOf(DrawFor(0.6, NodeKindRequest::Any, s), s), kVariable);
  EXPECT_EQ(KindOf(DrawFor(0.75, NodeKindRequest::Any, s), s), kConstant);
  EXPECT_EQ(KindOf(DrawFor(0.39, NodeKindRequest::Terminal, s), s), kVariable);
  EXPECT_EQ(KindOf(DrawFor(0.41, NodeKindRequest::Terminal, s), s), kConstant);
  EXPECT_EQ(KindOf(DrawFor(0.99, NodeKindRequest::Function, s), s), kFunction);
}

TEST(DrawNodeTest, FullFunctionShareStillYieldsTerminals) {
  SeedRandom(1);
  const NodeDrawSetup s{2, 3, 7, 1.0f, 0.0f};
  // The variable share among terminals is 0/0, which never exceeds u: always a constant.
  EXPECT_EQ(KindOf(DrawFor(0.0, NodeKindRequest::Terminal, s), s), kConstant);
  EXPECT_EQ(KindOf(DrawFor(0.99, NodeKindRequest::Any, s), s), kFunction);
  // RandomUnit reaches 1.0, which is not below a function share of 1.
  EXPECT_EQ(KindOf(DrawFor(1.0, NodeKindRequest::Any, s), s), kConstant);
}

TEST(DrawNodeTest, SingleFunctionStillAdvancesTheGeneratorTwice) {
  SeedRandom(8);
  const std::uint64_t start = RandomState();
  Rand15();
  Rand31();
  const std::uint64_t expected = RandomState();
  SetRandomState(start);
  EXPECT_EQ(DrawNode(NodeKindRequest::Function, NodeDrawSetup{1, 5, 10, 0.5f, 0.2f}), 0);
  EXPECT_EQ(RandomState(), expected);
}

TEST(DepthTest, DepthAtPositionWorksOnIncompletePrograms) {
  TestProblem p({kAdd, kMultiply, kSin}, 3, {});
  {
    const std::vector<Node> genes = {p.fn(0), p.var(0)};
    std::int32_t position = 0;
    EXPECT_EQ(DepthAtPosition(0, genes.data(), position, 2), 1);
  }
  {
    const std::vector<Node> genes = {p.fn(0), p.fn(0), p.var(0)};
    std::int32_t position = 0;
    EXPECT_EQ(DepthAtPosition(0, genes.data(), position, 3), 2);
  }
  {
    // [*, +, X0, X1, sin, X2]: sin stands at depth 1, its argument at depth 2.
    const std::vector<Node> genes = {p.fn(1), p.fn(0), p.var(0), p.var(1), p.fn(2), p.var(2)};
    std::int32_t position = 0;
    EXPECT_EQ(DepthAtPosition(0, genes.data(), position, 5), 2);
    position = 0;
    EXPECT_EQ(DepthAtPosition(0, genes.data(), position, 4), 1);
    position = 0;
    EXPECT_EQ(TreeDepth(0, genes.data(), position), 2);
    EXPECT_EQ(position, 5);
  }
}

// Checks that genes[0..length) is one complete prefix expression.
bool WellFormed(const Node* genes, std::int32_t length) {
  std::int32_t open = 0;
  for (std::int32_t k = 0; k < length; ++k) {
    open += currentProblem->nodeTable[genes[k]].arityCode;
    if (k < length - 1 && open < 0) return false;
  }
  return open == -1;
}

TEST(GrowProgramTest, GrownProgramsKeepEveryLimit) {
  TestProblem p({kAdd, kSubtract, kMultiply, kDivide, kSin, kLn}, 5, {0.5, 1.5, 2.5});
  struct Setting {
    std::int32_t depth;
    std::int32_t restartAt;
    float functionRatio;
    float variableRatio;
  };
  const Setting settings[] = {{5, 70, 0.5f, 0.2f}, {1, 70, 0.5f, 0.2f}, {0, 70, 0.5f, 0.2f},
                              {6, 20, 0.6f, 0.2f}, {3, 70, 0.9f, 0.05f}};
  std::vector<Node> scratch(70);
  for (const Setting& s : settings) {
    const NodeDrawSetup setup{6, 5, 3, s.functionRatio, s.variableRatio};
    SeedRandom(static_cast<std::uint32_t>(s.depth * 100 + s.restartAt));
    for (int i = 0; i < 300; ++i) {
      const std::int32_t n = GrowProgram(scratch.data(), s.depth, s.restartAt, setup);
      ASSERT_GE(n, 2);
      ASSERT_LE(n, s.restartAt);
      ASSERT_TRUE(WellFormed(scratch.data(), n));
      ASSERT_LT(scratch[0], 6) << "root must be a function";
      std::int32_t position = 0;
      const std::int32_t depth = TreeDepth(0, scratch.data(), position);
      if (s.depth >= 1) {
        ASSERT_LE(depth, s.depth);
      }
      if (s.depth == 1) {
        ASSERT_LE(n, 3);
      }
      std::int32_t end = 0;
      EvaluateNode(scratch.data(), end);
      ASSERT_EQ(end, n);
    }
  }
}

TEST(GrowProgramTest, GrowthThatCannotCloseIsReportedNotLooped) {
  // Only two-argument functions and no terminal share: a tree of depth 8 needs 511 nodes.
  TestProblem p({kAdd, kMultiply}, 2, {1.0});
  std::vector<Node> scratch(70);
  SeedRandom(4);
  EXPECT_THROW(GrowProgram(scratch.data(), 8, 70, NodeDrawSetup{2, 2, 1, 1.0f, 0.0f}),
               GrowthError);
}

}  // namespace
}  // namespace vobrix
