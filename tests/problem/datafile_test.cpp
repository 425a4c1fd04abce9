#include "problem/datafile.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace vobrix {
namespace {

namespace fs = std::filesystem;

// Each test writes its files into a directory of its own under the system's temporary
// directory and removes it afterwards.
class DataFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static std::atomic<int> counter{0};
    std::random_device entropy;
    dir_ = fs::temp_directory_path() /
           ("vobrix_datafile_" + std::to_string(entropy()) + "_" + std::to_string(counter++));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  std::string Write(const std::string& contents, const std::string& name = "data.txt") {
    const fs::path file = dir_ / name;
    std::ofstream out(file, std::ios::binary);
    out << contents;
    return file.string();
  }

  // The error of reading `contents`; fails the test when the read succeeds.
  DataFileError Failure(const std::string& contents) {
    try {
      ReadDataFile(Write(contents));
    } catch (const DataFileError& error) {
      return error;
    }
    ADD_FAILURE() << "read succeeded: '" << contents << "'";
    return DataFileError(DataFileError::Kind::kCannotOpen, "", 0, 0);
  }

  void ExpectInvalid(const std::string& contents, int line) {
    const DataFileError error = Failure(contents);
    EXPECT_EQ(error.kind(), DataFileError::Kind::kInvalidData) << contents;
    EXPECT_EQ(error.line(), line) << "'" << contents << "'";
  }

  fs::path dir_;
};

std::string Pairs(int count, const char* separator, const char* lineBreak, bool finalBreak) {
  std::string text;
  for (int i = 0; i < count; ++i) {
    text += std::to_string(i + 1) + separator + std::to_string((i * 7) % 13) + ".5";
    if (i + 1 < count || finalBreak) {
      text += lineBreak;
    }
  }
  return text;
}

TEST(CountLines, AFinalLineBreakOpensNoLine) {
  EXPECT_EQ(CountLines(""), 0);
  EXPECT_EQ(CountLines("a"), 1);
  EXPECT_EQ(CountLines("a\n"), 1);
  EXPECT_EQ(CountLines("a\nb"), 2);
  EXPECT_EQ(CountLines("a\nb\n"), 2);
  EXPECT_EQ(CountLines("a\r\nb\r\n"), 2);
  EXPECT_EQ(CountLines("a\rb\r"), 2);
  EXPECT_EQ(CountLines("\n"), 1);
  EXPECT_EQ(CountLines("\n\n"), 2);
  EXPECT_EQ(CountLines("a\n\nb"), 3);
  EXPECT_EQ(CountLines("a\n  "), 2);
}

TEST_F(DataFileTest, OneRowPerLineWithOrWithoutAFinalLineBreak) {
  const auto withBreak = ReadDataFile(Write(Pairs(120, "\t", "\n", true), "a.txt"));
  const auto withoutBreak = ReadDataFile(Write(Pairs(120, "\t", "\n", false), "b.txt"));
  ASSERT_EQ(withBreak.size(), 120u);
  ASSERT_EQ(withoutBreak.size(), 120u);
  for (std::size_t r = 0; r < 120; ++r) {
    EXPECT_EQ(withBreak[r].x, std::to_string(r + 1));
    EXPECT_EQ(withBreak[r].y, std::to_string((r * 7) % 13) + ".5");
    EXPECT_EQ(withoutBreak[r].x, withBreak[r].x);
    EXPECT_EQ(withoutBreak[r].y, withBreak[r].y);
  }
}

TEST_F(DataFileTest, AnyWhiteSpaceSeparatesAndCrLfReadsFine) {
  const auto tabs = ReadDataFile(Write(Pairs(30, "\t", "\n", true), "tabs.txt"));
  for (const auto& [separator, lineBreak] : std::vector<std::pair<const char*, const char*>>{
           {" ", "\n"}, {"   ", "\n"}, {" \t ", "\n"}, {"\t", "\r\n"}, {" ", "\r"}}) {
    const auto rows = ReadDataFile(Write(Pairs(30, separator, lineBreak, true)));
    ASSERT_EQ(rows.size(), tabs.size()) << "'" << separator << "'";
    for (std::size_t r = 0; r < rows.size(); ++r) {
      EXPECT_EQ(rows[r].x, tabs[r].x);
      EXPECT_EQ(rows[r].y, tabs[r].y);
    }
  }
  // Leading blanks on a line and trailing blanks after the last pair are white space too.
  const auto rows = ReadDataFile(Write("  1\t2  \n 3 4\r\n\t5 6 \t"));
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[2].x, "5");
  EXPECT_EQ(rows[2].y, "6");
}

TEST_F(DataFileTest, ValuesAreSinglePrecisionWrittenWithSixDigits) {
  const auto rows =
      ReadDataFile(Write("0.1\t3.14159265\n"
                         "123456789\t1234.5678\n"
                         "-.5\t+3.\n"
                         "1e5\t-2.5E-7\n"
                         "16777217\t0.00001\n"
                         "1e-50\t-0\n"));
  ASSERT_EQ(rows.size(), 6u);
  EXPECT_EQ(rows[0].x, "0.1");
  EXPECT_EQ(rows[0].y, "3.14159");
  EXPECT_EQ(rows[1].x, "1.23457E8");
  EXPECT_EQ(rows[1].y, "1234.57");
  EXPECT_EQ(rows[2].x, "-0.5");
  EXPECT_EQ(rows[2].y, "3");
  EXPECT_EQ(rows[3].x, "100000");
  EXPECT_EQ(rows[3].y, "-2.5E-7");
  EXPECT_EQ(rows[4].x, "1.67772E7");  // 16777217 is 16777216 in single precision
  EXPECT_EQ(rows[4].y, "0.00001");
  EXPECT_EQ(rows[5].x, "0");  // below single precision's range: zero
  EXPECT_EQ(rows[5].y, "0");
}

TEST_F(DataFileTest, APairMayStraddleALineBreakAsFscanfReadsIt) {
  // "%f\t%f\n": the white space between X and Y may be a line break; the line count says
  // how many pairs to read (2 lines here, so 2 pairs).
  const auto rows = ReadDataFile(Write("1\n2 3 4\n"));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].x, "1");
  EXPECT_EQ(rows[0].y, "2");
  EXPECT_EQ(rows[1].x, "3");
  EXPECT_EQ(rows[1].y, "4");
  ExpectInvalid("1\n2\n3 4\n5 6", 1);  // 4 lines but 3 pairs
}

TEST_F(DataFileTest, ALineWithOneNumberIsInvalid) {
  ExpectInvalid("1\t2\n3\n5\t6\n", 2);
  ExpectInvalid("1\n", 1);
  ExpectInvalid("1\t2\n3\t4\n5", 3);
}

TEST_F(DataFileTest, BlankLinesCountAsLinesAndMakeTheFileInvalid) {
  ExpectInvalid("1\t2\n\n3\t4\n", 2);
  ExpectInvalid("1\t2\r\n\r\n3\t4\r\n", 2);
  ExpectInvalid("1\t2\n3\t4\n\n", 3);  // a blank line at the end is a line too
  ExpectInvalid("\n", 1);
  ExpectInvalid("1\t2\n   ", 2);
  const DataFileError error = Failure("1\t2\n\n3\t4\n");
  EXPECT_EQ(error.lineCount(), 3);
}

TEST_F(DataFileTest, AnEmptyFileIsInvalidData) {
  // The grid cannot hold zero rows, so an empty file is refused rather than loaded as nothing.
  const DataFileError error = Failure("");
  EXPECT_EQ(error.kind(), DataFileError::Kind::kInvalidData);
  EXPECT_EQ(error.line(), 1);
  EXPECT_EQ(error.lineCount(), 0);
}

TEST_F(DataFileTest, NonFiniteAndNonDecimalValuesAreInvalid) {
  ExpectInvalid("1\t2\n3\t1e39\n", 2);  // overflows single precision
  ExpectInvalid("-1e39\t2\n", 1);
  ExpectInvalid("3.5e38\t2\n", 1);
  ExpectInvalid("1\tnan\n", 1);
  ExpectInvalid("1\tinf\n", 1);
  ExpectInvalid("infinity\t1\n", 1);
  ExpectInvalid("1\t-INF\n", 1);
  ExpectInvalid("0x1p3\t1\n", 1);
  ExpectInvalid("0x10\t1\n", 1);
  ExpectInvalid("1e\t2\n", 1);
  ExpectInvalid("1.5x\t2\n", 1);
  ExpectInvalid("1,5\t2\n", 1);
  ExpectInvalid("1\t2\n3\t4x\n", 2);
  ExpectInvalid("1\tabc\n", 1);
  ExpectInvalid("1.2.3\t4\n", 1);  // fscanf would read 1.2 and .3; not sensible data
  ExpectInvalid("1-2\n", 1);
  // The largest single-precision value is fine.
  EXPECT_EQ(ReadDataFile(Write("3.4028234e38\t1\n"))[0].x, "3.40282E38");
}

TEST_F(DataFileTest, AnythingLeftAfterTheLastPairIsInvalid) {
  ExpectInvalid("1\t2\t3\n", 1);
  ExpectInvalid("1 2 3\n4 5\n", 1);  // would otherwise load misaligned pairs
}

TEST_F(DataFileTest, AMissingFileCannotBeOpenedAndIsNamed) {
  const std::string path = (dir_ / "no such file.txt").string();
  try {
    ReadDataFile(path);
    FAIL();
  } catch (const DataFileError& error) {
    EXPECT_EQ(error.kind(), DataFileError::Kind::kCannotOpen);
    EXPECT_EQ(error.path(), path);
    EXPECT_NE(std::string(error.what()).find(path), std::string::npos);
  }
  try {
    ReadDataFile(dir_.string());
    FAIL();
  } catch (const DataFileError& error) {
    EXPECT_EQ(error.kind(), DataFileError::Kind::kCannotOpen);
  }
}

TEST_F(DataFileTest, TheInvalidMessageNamesFileAndLine) {
  const std::string path = Write("1\t2\n3\n");
  try {
    ReadDataFile(path);
    FAIL();
  } catch (const DataFileError& error) {
    EXPECT_EQ(error.path(), path);
    EXPECT_EQ(std::string(error.what()), "Invalid data pair at line 2 of '" + path + "'.");
  }
}

TEST_F(DataFileTest, AHundredThousandLinesLoadQuickly) {
  std::mt19937 random(3);
  std::uniform_real_distribution<float> values(-1000.0f, 1000.0f);
  std::string text;
  for (int i = 0; i < 100000; ++i) {
    text += std::to_string(i) + "\t" + std::to_string(values(random)) + "\n";
  }
  const std::string path = Write(text);
  const auto start = std::chrono::steady_clock::now();
  const auto rows = ReadDataFile(path);
  const auto seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ASSERT_EQ(rows.size(), 100000u);
  EXPECT_EQ(rows[99999].x, "99999");
  EXPECT_LT(seconds, 1.0);
}

}  // namespace
}  // namespace vobrix
