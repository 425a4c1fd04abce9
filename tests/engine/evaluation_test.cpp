#include "engine/evaluation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>
#include <vector>

#include "engine/misc.h"
#include "evolution_support.h"
#include "fixture.h"

namespace vobrix {
namespace {

using test::TestProblem;

constexpr double kInf = std::numeric_limits<double>::infinity();

// Series 1..6 with a window of 2: "+" and "-" at 0 and 1, X0 = 2, X1 = 3, the constants 1e200
// at 4 and 7 at 5.
class EvaluationTest : public ::testing::Test {
 protected:
  static constexpr Node kPlus = 0, kMinus = 1, kX0 = 2, kX1 = 3, kHuge = 4, kSeven = 5;

  EvaluationTest() : problem_({kAdd, kSubtract}, 2, {1e200, 7.0}, {1, 2, 3, 4, 5, 6}) {}

  std::unique_ptr<Population> WithPrograms(const std::vector<std::vector<Node>>& programs) {
    PopulationParams params;
    params.populationSize = static_cast<std::int32_t>(programs.size());
    params.maxLength = 10;
    params.generations = 2;
    auto p = std::make_unique<Population>(params);
    for (std::size_t i = 0; i < programs.size(); ++i) {
      Individual& ind = *p->Current()[i];
      std::copy(programs[i].begin(), programs[i].end(), ind.genes);
      ind.length = static_cast<std::int32_t>(programs[i].size());
    }
    return p;
  }

  TestProblem problem_;
};

TEST_F(EvaluationTest, ThreePassesGiveRawAdjustedAndNormalizedFitness) {
  // X1 + (X1 - X0) predicts exactly; X0 is off by 2 everywhere; 1e200 overflows the square.
  auto p = WithPrograms({{kX0}, {kPlus, kX1, kMinus, kX1, kX0}, {kHuge}});
  EvaluateGeneration(*p);
  Individual* const* slots = p->Current();
  EXPECT_EQ(slots[0]->rawFitness, 4.0);
  EXPECT_EQ(slots[1]->rawFitness, 0.0);
  EXPECT_EQ(slots[2]->rawFitness, kInf);
  EXPECT_EQ(slots[0]->adjustedFitness, 0.2);
  EXPECT_EQ(slots[1]->adjustedFitness, 1.0);
  EXPECT_EQ(slots[2]->adjustedFitness, 0.0);
  const double sum = 0.2 + 1.0;
  EXPECT_EQ(slots[0]->normalizedFitness, 0.2 / sum);
  EXPECT_EQ(slots[1]->normalizedFitness, 1.0 / sum);
  EXPECT_EQ(slots[2]->normalizedFitness, 0.0);

  const Individual* perfect = slots[1];
  const Individual* infinite = slots[2];
  SortGeneration(*p);
  EXPECT_EQ(p->Current()[0], perfect);
  EXPECT_EQ(p->Current()[2], infinite);
  EXPECT_EQ(p->Current()[1]->rawFitness, 4.0);
}

TEST_F(EvaluationTest, EqualAndAllInfiniteGenerations) {
  auto same = WithPrograms({{kSeven}, {kSeven}, {kSeven}, {kSeven}});
  EvaluateGeneration(*same);
  for (int i = 0; i < 4; ++i) EXPECT_DOUBLE_EQ(same->Current()[i]->normalizedFitness, 0.25);

  auto one = WithPrograms({{kMinus, kX1, kX0}});
  EvaluateGeneration(*one);
  EXPECT_EQ(one->Current()[0]->normalizedFitness, 1.0);

  auto infinite = WithPrograms({{kHuge}, {kPlus, kHuge, kX0}, {kHuge}});
  EvaluateGeneration(*infinite);
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(std::isnan(infinite->Current()[i]->normalizedFitness));
  SortGeneration(*infinite);  // any order, but every record still there
  std::vector<Individual*> sorted(infinite->Current(), infinite->Current() + 3);
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(std::unique(sorted.begin(), sorted.end()), sorted.end());
}

TEST(CompareNormalizedFitnessTest, HigherFirstAndNaNEqualToEverything) {
  Individual a, b;
  const Individual* pa = &a;
  const Individual* pb = &b;
  a.normalizedFitness = 0.6;
  b.normalizedFitness = 0.4;
  EXPECT_EQ(CompareNormalizedFitness(&pa, &pb), -1);
  EXPECT_EQ(CompareNormalizedFitness(&pb, &pa), 1);
  b.normalizedFitness = 0.6;
  EXPECT_EQ(CompareNormalizedFitness(&pa, &pb), 0);
  b.normalizedFitness = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(CompareNormalizedFitness(&pa, &pb), 0);
  EXPECT_EQ(CompareNormalizedFitness(&pb, &pa), 0);
}

TEST_F(EvaluationTest, SortOrdersByRawFitnessOverManyPrograms) {
  std::vector<std::vector<Node>> programs;
  for (Node a : {kX0, kX1, kSeven, kHuge}) {
    for (Node b : {kX0, kX1, kSeven}) {
      programs.push_back({kPlus, a, b});
      programs.push_back({kMinus, a, b});
    }
  }
  auto p = WithPrograms(programs);
  EvaluateGeneration(*p);
  SortGeneration(*p);
  for (std::size_t i = 1; i < programs.size(); ++i) {
    EXPECT_LE(p->Current()[i - 1]->rawFitness, p->Current()[i]->rawFitness) << i;
  }
}

TEST_F(EvaluationTest, AverageLengthAndRecordedHistory) {
  auto p = WithPrograms({{kX0}, {kX1}, {kSeven}});
  p->Current()[0]->length = 3;
  p->Current()[1]->length = 4;
  p->Current()[2]->length = 4;
  EXPECT_DOUBLE_EQ(AverageLength(*p), 11.0 / 3.0);
  for (int i = 0; i < 3; ++i) p->Current()[i]->length = 1 << 30;  // the sum exceeds 32 bits
  EXPECT_EQ(AverageLength(*p), double(1 << 30));

  RecordGeneration(*p, 1, 2.5f, 1.25f, 3);
  EXPECT_EQ(p->fitnessScaleHistory[1], 2.5f);
  EXPECT_EQ(p->bestFitnessHistory[1], 1.25f);
  EXPECT_EQ(p->averageLengthHistory[1], 3);
  EXPECT_EQ(p->bestFitnessHistory[0], 0.0f);
  EXPECT_THROW(RecordGeneration(*p, 2, 0.0f, 0.0f, 0), std::out_of_range);
  EXPECT_THROW(RecordGeneration(*p, -1, 0.0f, 0.0f, 0), std::out_of_range);
}

}  // namespace
}  // namespace vobrix
