#include "engine/misc.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "fixture.h"

namespace vobrix {
namespace {

using test::TestProblem;

TEST(RandomTest, KnownSequencesAfterSeedingWithOne) {
  SeedRandom(1);
  EXPECT_EQ(Rand15(), 130);
  EXPECT_EQ(Rand15(), 10982);
  EXPECT_EQ(Rand15(), 1090);

  SeedRandom(1);
  EXPECT_EQ(Rand31(), 1410184549);
  EXPECT_EQ(Rand31(), 672584604);
  EXPECT_EQ(Rand31(), 1915668986);
}

TEST(RandomTest, SeedingDiscardsOneDrawOf346) {
  SetRandomState(1);
  EXPECT_EQ(Rand15(), 346);
  SeedRandom(1);
  EXPECT_EQ(RandomState() >> 32, 0u);  // the high word starts at 0
}

TEST(RandomTest, BothDrawsShareTheLowWord) {
  SeedRandom(99);
  Rand31();
  const std::uint64_t afterRand31 = RandomState();
  const int next = Rand15();
  SetRandomState(afterRand31);
  EXPECT_EQ(Rand15(), next);
  EXPECT_EQ(RandomState() >> 32, afterRand31 >> 32);  // Rand15 leaves the high word alone
}

TEST(RandomTest, UnitDrawCoversBothEnds) {
  // Find states whose next Rand15 is 0 and 32767 by stepping the generator.
  bool sawZero = false;
  bool sawOne = false;
  SeedRandom(5);
  for (int i = 0; i < 2'000'000 && !(sawZero && sawOne); ++i) {
    const std::uint64_t before = RandomState();
    const int r = Rand15();
    if (r == 0 || r == 32767) {
      SetRandomState(before);
      const double u = RandomUnit();
      if (r == 0) {
        EXPECT_EQ(u, 0.0);
        sawZero = true;
      } else {
        EXPECT_EQ(u, 1.0);
        sawOne = true;
      }
    }
  }
  EXPECT_TRUE(sawZero && sawOne);
}

TEST(RandomTest, RandomBelowZeroDoesNotDraw) {
  SeedRandom(3);
  const std::uint64_t before = RandomState();
  EXPECT_EQ(RandomBelow(0), 0);
  EXPECT_EQ(RandomState(), before);
  EXPECT_EQ(RandomBelow(1), 0);
  EXPECT_NE(RandomState(), before);
  for (int i = 0; i < 1000; ++i) {
    const std::int32_t r = RandomBelow(7);
    ASSERT_GE(r, 0);
    ASSERT_LT(r, 7);
  }
}

TEST(FormatProgramTest, InfixTextsAndFinalCounter) {
  TestProblem p({kAdd, kMultiply, kSin}, 3, {2.5});
  struct Case {
    std::vector<Node> genes;
    const char* text;
    std::int32_t last;
  };
  const Case cases[] = {
      {{p.fn(0), p.var(0), p.var(1)}, " (X0+X1) ", 2},
      {{p.fn(2), p.var(0)}, "sin (X0) ", 1},
      {{p.fn(1), p.fn(0), p.var(0), p.var(1), p.fn(2), p.var(2)}, " ( (X0+X1) *sin (X2) ) ", 5},
      {{p.constant(0)}, "2.500", 0},
  };
  for (const Case& c : cases) {
    std::int32_t position = 0;
    EXPECT_EQ(FormatProgram(c.genes.data(), position), c.text);
    EXPECT_EQ(position, c.last) << c.text;
  }
}

TEST(SubtreeEndTest, FindsTheEndOrNothing) {
  TestProblem p({kAdd, kSin}, 3, {});
  const std::vector<Node> genes = {p.fn(0), p.fn(1), p.var(0), p.var(1)};
  EXPECT_EQ(SubtreeEnd(genes.data(), 4, 0), 3);
  EXPECT_EQ(SubtreeEnd(genes.data(), 4, 1), 2);
  EXPECT_EQ(SubtreeEnd(genes.data(), 4, 3), 3);
  EXPECT_FALSE(SubtreeEnd(genes.data(), 3, 0).has_value());  // cut short: malformed
}

int CompareInts(const void* a, const void* b) {
  const int x = *static_cast<const int*>(a);
  const int y = *static_cast<const int*>(b);
  return x < y ? -1 : (x > y ? 1 : 0);
}

struct Tagged {
  int key;
  int tag;
};

int CompareKeys(const void* a, const void* b) {
  return CompareInts(&static_cast<const Tagged*>(a)->key, &static_cast<const Tagged*>(b)->key);
}

TEST(SortRecordsTest, SortsLikeTheStandardSortOverManyShapes) {
  SeedRandom(11);
  for (int n : {0, 1, 2, 3, 11, 12, 13, 100, 1000, 5000}) {
    for (int range : {2, 50, 1 << 30}) {
      std::vector<int> values(n);
      for (int& v : values) v = RandomBelow(range);
      std::vector<int> expected = values;
      std::sort(expected.begin(), expected.end());
      SortRecords(values.data(), values.size(), sizeof(int), CompareInts);
      ASSERT_EQ(values, expected) << "n=" << n << " range=" << range;
    }
  }
  std::vector<int> descending(2000);
  for (int i = 0; i < 2000; ++i) descending[i] = 2000 - i;
  SortRecords(descending.data(), descending.size(), sizeof(int), CompareInts);
  EXPECT_TRUE(std::is_sorted(descending.begin(), descending.end()));
}

TEST(SortRecordsTest, TwoRecordsSwapOnlyWhenTheFirstComparesGreater) {
  Tagged equal[2] = {{5, 0}, {5, 1}};
  SortRecords(equal, 2, sizeof(Tagged), CompareKeys);
  EXPECT_EQ(equal[0].tag, 0);
  Tagged ordered[2] = {{1, 0}, {5, 1}};
  SortRecords(ordered, 2, sizeof(Tagged), CompareKeys);
  EXPECT_EQ(ordered[0].tag, 0);
  Tagged reversed[2] = {{5, 0}, {1, 1}};
  SortRecords(reversed, 2, sizeof(Tagged), CompareKeys);
  EXPECT_EQ(reversed[0].tag, 1);
}

int CompareNothing(const void*, const void*) { return 0; }

TEST(SortRecordsTest, AllEqualRecordsFinishQuicklyAndKeepTheirSet) {
  // Every comparison 0, as for a generation whose fitness values are all NaN.
  std::vector<int> values(200000);
  for (int i = 0; i < 200000; ++i) values[i] = i;
  SortRecords(values.data(), values.size(), sizeof(int), CompareNothing);
  std::sort(values.begin(), values.end());
  for (int i = 0; i < 200000; ++i) ASSERT_EQ(values[i], i);
}

}  // namespace
}  // namespace vobrix
