#include "problem/datafile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>
#include "common/scratch.h"

namespace vobrix {
namespace {

// The rows as "x y" texts joined by ";".
std::string Joined(const std::vector<CellRow>& rows) {
  std::string text;
  for (const CellRow& row : rows) text += (text.empty() ? "" : ";") + row.x + " " + row.y;
  return text;
}

// The error the reading throws; one of kind kCannotOpen for "(read)" when it reads.
template <class Read>
DataFileError ErrorOf(Read read) {
  try {
    read();
  } catch (const DataFileError& error) {
    return error;
  }
  return DataFileError(DataFileError::Kind::kCannotOpen, "(read)", 0, 0);
}

TEST(DataFile, ReadsOnePairPerLineInSinglePrecisionWithSixDigits) {
  // 16777217 is 16777216 in single precision, 1e-50 below its range; "1\n2 3 4\n" is two
  // lines and two pairs, read across the line break.
  const std::pair<const char*, const char*> cases[] = {
      {"1\t2\n3\t4.5\n", "1 2;3 4.5"},
      {"1\t2\n3\t4.5", "1 2;3 4.5"},
      {"1 2\r\n3   4.5\r\n", "1 2;3 4.5"},
      {"1 \t 2\r3\t4.5\r", "1 2;3 4.5"},
      {"  1\t2  \n 3 4\r\n\t5 6 \t", "1 2;3 4;5 6"},
      {"0.1\t3.14159265\n123456789\t-.5\n", "0.1 3.14159;1.23457E8 -0.5"},
      {"16777217\t1e-50\n", "1.67772E7 0"},
      {"3.4028234e38\t-2.5E-7\n", "3.40282E38 -2.5E-7"},
      {"1\n2 3 4\n", "1 2;3 4"}};
  for (const auto& [contents, rows] : cases) {
    EXPECT_EQ(Joined(ParseDataFile(contents, "d.txt")), rows) << "'" << contents << "'";
  }
}

TEST(DataFile, RefusesTheWholeFileAndNamesTheFirstBadLineWithItsText) {
  // The contents, the line blamed and what it holds.
  const std::tuple<const char*, int, const char*> cases[] = {
      {"1\t2\n3\n5\t6\n", 2, "3"},       {"1\n", 1, "1"},
      {"1\t2\n3\t4\n5", 3, "5"},         {"1\t2\n\n3\t4\n", 2, ""},
      {"1\t2\r\n\r\n3\t4\r\n", 2, ""},   {"1\t2\n3\t4\n\n", 3, ""},
      {"1\t2\n   ", 2, "   "},           {"", 1, ""},
      {"1\t2\n3\t1e39\n", 2, "3\t1e39"}, {"1\tnan\n", 1, "1\tnan"},
      {"1\t-INF\n", 1, "1\t-INF"},       {"0x10\t1\n", 1, "0x10\t1"},
      {"1,5\t2\n", 1, "1,5\t2"},         {"1.2.3\t4\n", 1, "1.2.3\t4"},
      {"1\t2\t3\n", 1, "1\t2\t3"},       {"1 2 3\n4 5\n", 1, "1 2 3"},
      {"1\n2\n3 4\n5 6", 1, "1"},        {"1 2\r3 4\rx y\r5 6\r", 3, "x y"},
      {"1 2\r\n3 x\r\n", 2, "3 x"},      {"1 2\r\n3 4\r\nx\r\n", 3, "x"}};
  for (const auto& [contents, line, text] : cases) {
    SCOPED_TRACE(contents);
    const DataFileError error = ErrorOf([&] { ParseDataFile(contents, "d.txt"); });
    EXPECT_EQ(error.kind(), DataFileError::Kind::kInvalidData);
    EXPECT_EQ(error.line(), line);
    EXPECT_EQ(error.lineCount(), CountLines(contents));
    EXPECT_EQ(error.lineText(), text);
  }
  EXPECT_EQ(CountLines("a\r\nb\rc\n"), 3);
  EXPECT_EQ(CountLines("a\n\n"), 2);
}

TEST(DataFile, CutsALongBadLineAtACharacterBoundary) {
  const std::size_t limit = DataFileError::kMaxLineText;
  // A two-byte character straddles the limit: it is left out whole.
  const std::string straddling = std::string(limit - 1, 'a') + "\xc3\xa9" + "bc";
  const std::pair<std::string, std::string> cases[] = {
      {std::string(limit, 'x'), std::string(limit, 'x')},
      {std::string(limit + 1, 'x'), std::string(limit, 'x') + "..."},
      {straddling, std::string(limit - 1, 'a') + "..."}};
  for (const auto& [line, text] : cases) {
    const DataFileError error =
        ErrorOf([&] { ParseDataFile("1 2\n" + line + "\n3 4\n", "d.txt"); });
    EXPECT_EQ(error.line(), 2);
    EXPECT_EQ(error.lineText(), text);
  }
}

// What cannot be read in full ends with one error that names the file and the cause, never with
// an exception of the stream library or an endless read.
TEST(DataFile, ReadsAFileOrEndsWithOneErrorNamingItAndTheCause) {
  const std::string path = vobrix::testing::ScratchPath("vobrix_datafile_limits.txt").string();
  const std::string bad = path + ".bad", missing = path + ".missing";
  std::ofstream(path, std::ios::binary) << "1\t2\n3\t4\n5\t6\n";
  std::ofstream(bad, std::ios::binary) << "1\t2\n3\n";
  const std::string large = "' is too large: a data file may hold at most ";
  const std::tuple<std::string, DataFileLimits, std::string> cases[] = {
      {bad, {}, "Invalid data pair at line 2 of '" + bad + "'."},
      {missing, {}, "Cannot open the file '" + missing + "'."},
      {"/proc/self/mem", {}, "Cannot read the file '/proc/self/mem': Input/output error."},
      {"/dev/zero", {4096, 10}, "The file '/dev/zero" + large + "4096 bytes."},
      {path, {11, 10}, "The file '" + path + large + "11 bytes."},
      {path, {12, 2}, "The file '" + path + large + "2 lines."},
  };
  for (const auto& [file, limits, message] : cases) {
    EXPECT_EQ(ErrorOf([&] { ReadDataFile(file, limits); }).what(), message);
  }
  std::remove(bad.c_str());
  // At the limits exactly the file is read.
  EXPECT_EQ(Joined(ReadDataFile(path, {12, 3})), "1 2;3 4;5 6");
  // A CR LF split between two reads is one line break: shifted by 0 to 4 blanks, some CR
  // falls on the last byte of the first read, whatever power of two up to 1 MiB it reads.
  constexpr int kLines = (1 << 20) / 5 + 100;
  for (int shift = 0; shift < 5; ++shift) {
    std::string crlf(static_cast<std::size_t>(shift), ' ');
    for (int i = 0; i < kLines; ++i) crlf += "1 2\r\n";
    std::ofstream(path, std::ios::binary) << crlf;
    EXPECT_EQ(ReadDataFile(path, {crlf.size(), kLines}).size(), std::size_t{kLines}) << shift;
    EXPECT_THROW(ReadDataFile(path, {crlf.size(), kLines - 1}), DataFileError) << shift;
  }
  std::remove(path.c_str());
  EXPECT_GE(kMaxDataFileLines, 10'000'000);
}

}  // namespace
}  // namespace vobrix
