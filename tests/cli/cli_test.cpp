// vobrix-cli end to end: the built program on small data files.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Splits a CSV row whose last field is quoted and holds no commas of its own.
std::vector<std::string> Fields(const std::string& row) {
  std::vector<std::string> fields;
  std::string field;
  bool quoted = false;
  for (char c : row) {
    if (c == '"') quoted = !quoted;
    if (c == ',' && !quoted) {
      fields.push_back(field);
      field.clear();
    } else {
      field += c;
    }
  }
  fields.push_back(field);
  return fields;
}

class Cli : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::path(::testing::TempDir()) /
           ("vobrix_cli_" +
            std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::create_directories(dir_);
    WriteSeries("train.txt", 0, 60);
    WriteSeries("valid.txt", 60, 10);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  void Write(const std::string& name, const std::string& text) const {
    std::ofstream(dir_ / name, std::ios::binary) << text;
  }

  void WriteSeries(const std::string& name, int firstX, int n) const {
    std::string text;
    for (int k = 0; k < n; ++k) {
      const int x = firstX + k;
      text += std::to_string(x) + "\t" + std::to_string(5 + 3 * std::sin(0.3 * x)) + "\n";
    }
    Write(name, text);
  }

  Outcome Run(const std::string& args) const {
    const std::string out = Path("stdout.txt");
    const std::string err = Path("stderr.txt");
    const std::string command =
        std::string("'") + VOBRIX_CLI + "' " + args + " >'" + out + "' 2>'" + err + "' </dev/null";
    const int raw = std::system(command.c_str());
    Outcome outcome;
    outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    outcome.out = ReadText(out);
    outcome.err = ReadText(err);
    return outcome;
  }

  // A quick run over the sample files.
  Outcome RunSmall(const std::string& extra) const {
    return Run("--train '" + Path("train.txt") + "' --pop-size 40 --generations 4 " + extra);
  }

  fs::path dir_;
};

const char* const kHeader =
    "generation,population,best_fitness,validation_error,average_length,best_length,"
    "best_program";

TEST_F(Cli, SameSeedSameOutputOneRowPerStep) {
  const std::string args = "--validation '" + Path("valid.txt") + "' --seed 7";
  const Outcome first = RunSmall(args);
  ASSERT_EQ(first.status, 0) << first.err;
  EXPECT_EQ(first.err, "");  // no progress bar when standard error is not a terminal
  const auto lines = Lines(first.out);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], kHeader);
  for (int g = 0; g < 4; ++g) {
    const auto fields = Fields(lines[g + 1]);
    ASSERT_EQ(fields.size(), 7u) << lines[g + 1];
    EXPECT_EQ(fields[0], std::to_string(g));
    EXPECT_EQ(fields[1], "1");
    EXPECT_FALSE(fields[3].empty());
    EXPECT_EQ(fields[6].front(), '"');
    EXPECT_EQ(fields[6].back(), '"');
  }
  EXPECT_EQ(RunSmall(args).out, first.out);
  EXPECT_EQ(RunSmall(args + " --quiet").out, first.out);
}

TEST_F(Cli, EveryThreadCountGivesTheSameOutput) {
  // Two populations of different selection methods, so that evaluation, selection and
  // breeding all take part.
  const std::string args = "--validation '" + Path("valid.txt") +
                           "' --seed 11 --populations 2 --selection proportional,tournament "
                           "--pop-size 300 --generations 6";
  const Outcome one = RunSmall(args + " --threads 1");
  ASSERT_EQ(one.status, 0) << one.err;
  EXPECT_EQ(Lines(one.out).size(), 13u);
  for (const char* threads : {" --threads 2", " --threads 5", ""}) {
    EXPECT_EQ(RunSmall(args + threads).out, one.out) << threads;
  }
}

TEST_F(Cli, PopulationsInterleaveAndNoValidationColumnWithoutValidation) {
  const Outcome o = Run("--train '" + Path("train.txt") +
                        "' --populations 2 --pop-size 30,20 --generations 2,3 --seed 1");
  ASSERT_EQ(o.status, 0) << o.err;
  std::vector<std::string> order;
  for (const auto& line : Lines(o.out)) {
    if (line == kHeader) continue;
    const auto fields = Fields(line);
    order.push_back(fields[0] + "/" + fields[1]);
    EXPECT_EQ(fields[3], "") << line;
  }
  EXPECT_EQ(order, (std::vector<std::string>{"0/1", "0/2", "1/1", "1/2", "2/2"}));
}

TEST_F(Cli, DumpInitialListsGenerationZeroInSlotOrder) {
  const Outcome o = RunSmall("--populations 2 --pop-size 15,10 --seed 3 --dump-initial '" +
                             Path("dump.txt") + "'");
  ASSERT_EQ(o.status, 0) << o.err;
  const auto lines = Lines(ReadText(Path("dump.txt")));
  ASSERT_EQ(lines.size(), 25u);
  std::map<int, double> bestRaw{{1, INFINITY}, {2, INFINITY}};
  std::map<int, std::string> bestText;
  for (std::size_t n = 0; n < lines.size(); ++n) {
    std::istringstream in(lines[n]);
    int population = 0, slot = 0, length = 0;
    std::string raw;
    in >> population >> slot >> length >> raw;
    EXPECT_EQ(population, n < 15 ? 1 : 2);
    EXPECT_EQ(slot, static_cast<int>(n < 15 ? n : n - 15));
    int genes = 0;
    for (int gene; in >> gene; ++genes) EXPECT_GE(gene, 0);
    EXPECT_EQ(genes, length) << lines[n];
    EXPECT_EQ(lines[n].find("  "), std::string::npos);
    const double value = raw == "inf" ? INFINITY : std::stod(raw);
    if (value < bestRaw[population]) {
      bestRaw[population] = value;
      bestText[population] = raw;
    }
  }
  // The best training error of generation 0 is the smallest raw fitness of the dump.
  const auto rows = Lines(o.out);
  EXPECT_EQ(Fields(rows[1])[2], bestText[1]);
  EXPECT_EQ(Fields(rows[2])[2], bestText[2]);
}

TEST_F(Cli, BadInputExitsTwoWithOneClearLine) {
  Write("bad.txt", "0\t1\n1\t2\n2\n3\t4\n");
  Write("gap.txt", "60\t1\n61\t2\n63\t3\n");
  Write("zeros.txt", "0\t0\n1\t0\n2\t0\n3\t0\n4\t0\n5\t0\n6\t0\n");
  const std::string train = "--train '" + Path("train.txt") + "' ";
  const std::vector<std::pair<std::string, std::string>> cases{
      {"", "--train FILE is required"},
      {"--train '" + Path("missing.txt") + "'", "Cannot open the file"},
      {"--train '" + Path("bad.txt") + "'", "line 3"},
      {train + "--validation '" + Path("bad.txt") + "'", "line 3"},
      {train + "--validation '" + Path("gap.txt") + "'", "line 3"},
      {train + "--pop-size 0", "\"Population Size\""},
      {train + "--pop-size 12x", "--pop-size: \"12x\""},
      {train + "--max-length 2", "\"Maximum Length\""},
      {train + "--generations -1", "\"Generation\""},
      {train + "--crossover 0.9 --mutation 0.2", "The sum of operation rate must be 1.0"},
      {train + "--function-ratio 0.9", "The sum of initial node ratio must be 1.0"},
      {train + "--populations 2 --crossover 0.7,0.7,0.7", "--crossover"},
      {train + "--window 0", "\"Window Size\""},
      {train + "--window 60", "Window Size"},
      {train + "--constants abc", "--constants: \"abc\""},
      {train + "--range a 1", "--range"},
      {train + "--selection tournament --tournament-size 0", "\"Tournament Size\""},
      {"--train '" + Path("zeros.txt") + "' --normalize", "high equals low"},
  };
  for (const auto& [args, part] : cases) {
    const Outcome o = Run(args);
    EXPECT_EQ(o.status, 2) << args << "\n" << o.err;
    const auto lines = Lines(o.err);
    ASSERT_EQ(lines.size(), 1u) << args << "\n" << o.err;
    EXPECT_EQ(lines[0].rfind("vobrix-cli: ", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find(part), std::string::npos) << args << "\n" << lines[0];
    EXPECT_EQ(o.out, "") << args;
  }
}

TEST_F(Cli, PopulationThatCannotFitIsRefusedBeforeAllocating) {
  const Outcome o = RunSmall("--pop-size 2000000000 --max-length 2000000000");
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "vobrix-cli: Memory Allocation Error\n");
  EXPECT_EQ(o.out, "");
}

TEST_F(Cli, HelpListsEveryOption) {
  const Outcome o = Run("--help");
  EXPECT_EQ(o.status, 0);
  for (const char* option :
       {"--train",     "--validation",      "--window",      "--functions",      "--constants",
        "--range",     "--normalize",       "--populations", "--pop-size",       "--generations",
        "--selection", "--tournament-size", "--crossover",   "--mutation",       "--one-point",
        "--elite",     "--max-length",      "--max-depth",   "--function-ratio", "--variable-ratio",
        "--seed",      "--dump-initial",    "--quiet",       "--threads"}) {
    EXPECT_NE(o.out.find(option), std::string::npos) << option;
  }
}

}  // namespace
