// vobrix-cli end to end: the built program on small data files.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "cli_fixture.h"

namespace vobrix::cli::testing {
namespace {

class Cli : public SineFixture {
 protected:
  // A quick run over the sample files.
  Outcome RunSmall(const std::string& extra) const {
    return Run("--train '" + Path("train.txt") + "' --pop-size 40 --generations 4 " + extra);
  }
};

TEST_F(Cli, EveryThreadCountGivesTheSameOutput) {
  // Two populations of different selection methods, so that evaluation, selection and
  // breeding all take part.
  const std::string args = "--validation '" + Path("valid.txt") +
                           "' --seed 11 --populations 2 --selection proportional,tournament "
                           "--pop-size 300 --generations 6";
  const Outcome one = RunSmall(args + " --threads 1");
  ASSERT_EQ(one.status, 0) << one.err;
  EXPECT_EQ(one.err, "");  // no progress bar when standard error is not a terminal
  EXPECT_EQ(Split(one.out).size(), 13u);
  for (const char* threads : {" --threads 2", " --threads 5", ""}) {
    EXPECT_EQ(RunSmall(args + threads).out, one.out) << threads;
  }
}

// Bad input, and inputs that used to abort, hang, run or overwrite: each ends with exit 2, one
// line naming the cause, and every file as it was; only a dump that fails to write comes after
// the CSV.
TEST_F(Cli, BadAndHostileInputsExitTwoAndLeaveEveryFileAsItWas) {
  Write("old dump.txt", "an earlier dump\n");
  Write("bad.txt", "0\t1\n1\t2\n2\n3\t4\n");
  Write("gap.txt", "60\t1\n61\t2\n63\t3\n");
  Write("zeros.txt", "0\t0\n1\t0\n2\t0\n3\t0\n4\t0\n5\t0\n6\t0\n");
  const std::string train = "--train '" + Path("train.txt") + "' --pop-size 20 --generations 2 ";
  const std::string dump = " --dump-initial ";
  const std::pair<std::string, std::string> cases[] = {
      {"", "--train FILE is required"},
      {"--train '" + Path("missing.txt") + "'", "Cannot open the file"},
      {"--train '" + Path("bad.txt") + "'", "line 3"},
      {train + "--validation '" + Path("gap.txt") + "'", "line 3"},
      {train + "--max-length 2", "\"Maximum Length\""},
      {train + "--pop-size 12x", "--pop-size: \"12x\""},
      {train + "--crossover 0.9 --mutation 0.2", "The sum of operation rate must be 1.0"},
      {"--train '" + Path("zeros.txt") + "' --normalize", "high equals low"},
      {"--train /proc/self/mem", "Cannot read the file '/proc/self/mem': Input/output error"},
      {"--train /dev/zero", "at most 1073741824 bytes"},
      {train + "--range 5 1", "--range: the lower end (5) must be below the upper end (1)"},
      {train + "--range 1 1", "--range: the lower end (1) must be below the upper end (1)"},
      // Above 1 no draw gives a terminal, so subtree mutation could never close a subtree; at 1
      // an initial program of depth 8 reaches 70 open nodes and is thrown away.
      {train + "--function-ratio 1.00004 --variable-ratio 0",
       ": \"Function\" of population 1 must be at most 1: above it no draw gives a terminal"},
      {train + "--functions +,* --function-ratio 1 --variable-ratio 0 --max-depth 8",
       ": \"Function\" of population 1 must be lower for \"Maximum Initial Depth\" 8: an initial "
       "program is thrown away when it reaches 70 Nodes still open, and only one attempt in "},
      {train + dump + "/dev/full", "--dump-initial: cannot write '/dev/full': No space left"},
      {train + dump + "'" + (dir_ / "." / "train.txt").string() + "'", "is the training file"},
      {train + "--validation '" + Path("valid.txt") + "'" + dump + "'" +
           (dir_ / ".." / dir_.filename() / "valid.txt").string() + "'",
       "is the validation file"},
      {train + "--window 0" + dump + "'" + Path("old dump.txt") + "'", "\"Window Size\""}};
  const std::string before = Read("train.txt") + Read("valid.txt");
  for (const auto& [args, part] : cases) {
    ExpectRefused(Run(args), part, args, args.find("/dev/full") != std::string::npos);
  }
  EXPECT_EQ(Read("train.txt") + Read("valid.txt"), before);
  EXPECT_EQ(Read("old dump.txt"), "an earlier dump\n");
  // A run that succeeds replaces the old dump, with no temporary left beside it.
  ASSERT_EQ(RunSmall("--seed 3" + dump + "'" + Path("old dump.txt") + "'").status, 0);
  EXPECT_EQ(Split(Read("old dump.txt")).size(), 40u);
  EXPECT_EQ(Files().size(), 9u);  // train, valid, joined, bad, gap, zeros, old dump, outputs
}

// What cannot fit is refused with one line before anything is made: windows beyond the data
// (whose tables would take 80 MB to 17 GB) with status 2, runs beyond the memory with status 1.
// A run that passes the weighing but runs out of address space once it has started (a
// population of 680 MB and its evaluation within 800 MB) fails with 1 after its header.
TEST_F(Cli, SizesBeyondTheDataOrTheMemoryAreRefusedWithOneLine) {
  Write("three.txt", "0\t1\n1\t2\n2\t3\n");
  const std::string train = "--train train.txt ", memory = "vobrix-cli: Memory Allocation Error\n";
  const std::string rows = "vobrix-cli: The training data need more rows than \"Window Size\" (";
  const struct {
    std::string args, shell;
    int status;
    std::string err;
    std::size_t lines;
  } cases[] = {
      {"--train three.txt --window 2147483647", "ulimit -v 2000000; ", 2, rows + "2147483647).\n",
       0},
      // A population beyond any machine, without a limit.
      {train + "--pop-size 2000000000 --max-length 2000000000", "", 1, memory, 0},
      // Each population takes 680 MB: within 1 GB either fits alone, the two together do not.
      {train + "--populations 2 --pop-size 1000000 --max-length 75 --generations 1",
       "ulimit -v 1000000; ", 1, memory, 0},
      // 20 million generations keep 240 MB of histories and 6 GB of chart points: refused at
      // once within 1 GB, where the histories alone would fit and the run would go on for hours.
      {train + "--pop-size 2 --generations 20000000", "ulimit -v 1000000; timeout 60 ", 1, memory,
       0},
      {train + "--pop-size 1000000 --max-length 75 --generations 1 --threads 1 -q",
       "ulimit -v 800000; timeout 60 ", 1, memory, 1}};
  for (const auto& c : cases) {
    if (!c.shell.empty() && VOBRIX_SHADOW_MEMORY) continue;  // a sanitizer exceeds any ulimit -v
    const Outcome o = Run(c.args, c.shell);
    EXPECT_EQ(o.status, c.status) << c.args;
    EXPECT_EQ(o.err, c.err) << c.args;
    EXPECT_EQ(Split(o.out).size(), c.lines) << c.args << "\n" << o.out;
  }
}

// A terminal in 7 draws of 32768: each regrowth of a mutation takes thousands of attempts.
TEST_F(Cli, GrowthRunsWhateverCanClose) {
  const Outcome hard = RunSmall(
      "--function-ratio 0.9998 --variable-ratio 0.0001 --max-depth 2 --crossover 0.4 --mutation "
      "0.5 --seed 9");
  EXPECT_EQ(hard.status, 0) << hard.err;
  EXPECT_EQ(Split(hard.out).size(), 5u);
}

TEST_F(Cli, HelpListsEveryOption) {
  const std::pair<std::string, std::string> helps[] = {
      {"--help",
       "--train,--validation,--window,--functions,--constants,--range,--normalize,--populations,"
       "--pop-size,--generations,--selection,--tournament-size,--crossover,--mutation,"
       "--one-point,--elite,--max-length,--max-depth,--function-ratio,--variable-ratio,--seed,"
       "--dump-initial,--quiet,--threads,run|predict|export"},
      {"run --help", "--model,--predictions,--horizon,--summary,vobrix-cli --help"},
      {"predict --help", "--model,--data,--horizon,--predictions,--population"},
      {"export --help", "--model,--format,--population,--output"}};
  for (const auto& [args, options] : helps) {
    const Outcome help = Run(args);
    EXPECT_EQ(help.status, 0) << args;
    for (const std::string& option : Split(options, ',')) {
      EXPECT_NE(help.out.find(option), std::string::npos) << args << ": " << option;
    }
  }
}

}  // namespace
}  // namespace vobrix::cli::testing
