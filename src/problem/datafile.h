// Reading a data file of number pairs into grid cell texts, for the window's Load and the
// command line alike. No Qt.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "problem/problem.h"

namespace vobrix {

// Why a data file gave no rows. what() is an English sentence naming the file (and the line).
class DataFileError : public std::runtime_error {
 public:
  enum class Kind {
    kCannotOpen,   // the file cannot be opened
    kCannotRead,   // reading failed part-way (an I/O error, a file that cannot be read)
    kTooLarge,     // more bytes or lines than DataFileLimits allow
    kInvalidData,  // a pair cannot be read, or the file holds no pair at all
  };
  DataFileError(Kind kind, std::string path, int line, int lineCount, std::string lineText = {});
  // kCannotRead and kTooLarge: `cause` ends the message ("Cannot read the file 'p': cause.").
  DataFileError(Kind kind, std::string path, const std::string& cause);
  Kind kind() const { return kind_; }
  const std::string& path() const { return path_; }
  // kInvalidData: the 1-based line to blame (the first line that does not hold exactly two
  // numbers); 0 for kCannotOpen.
  int line() const { return line_; }
  // kInvalidData: the number of lines the file has; 0 for kCannotOpen.
  int lineCount() const { return lineCount_; }
  // kInvalidData: the blamed line as the file has it, without its line break, cut after
  // kMaxLineText bytes (at a character boundary, "..." added); empty for an empty line.
  const std::string& lineText() const { return lineText_; }
  static constexpr std::size_t kMaxLineText = 60;

 private:
  Kind kind_;
  std::string path_;
  int line_;
  int lineCount_;
  std::string lineText_;
};

// The most a data file may hold. A row costs the window and the run a few hundred bytes, so
// 20 million rows is as much as a machine of some gigabytes can run; the byte cap, 1 GiB,
// leaves 50 bytes a line and stops an endless source (/dev/zero, a pipe that never ends).
inline constexpr std::size_t kMaxDataFileBytes = std::size_t{1} << 30;
inline constexpr int kMaxDataFileLines = 20'000'000;

struct DataFileLimits {
  std::size_t maxBytes = kMaxDataFileBytes;
  int maxLines = kMaxDataFileLines;
};

// Reads the data file at `path` (UTF-8): as many X/Y pairs as the file has lines, each value
// in single precision as C's fscanf("%f\t%f\n") would read it, returned as cell texts in the
// general format with 6 significant digits. All or nothing: throws DataFileError and returns
// no rows when the file cannot be opened or read, it holds more than `limits` allow (reading
// stops there), a pair is missing or not two finite decimal numbers, something other than
// white space is left after the last pair, or the file has no line.
std::vector<CellRow> ReadDataFile(const std::string& path, const DataFileLimits& limits = {});

// The same over the file's contents already in memory; `path` only names the file in errors.
std::vector<CellRow> ParseDataFile(std::string_view contents, const std::string& path);

// The number of lines of a data file's contents: line breaks are LF, CR LF or a lone CR, and
// a final line break does not open a further line.
int CountLines(std::string_view contents);

}  // namespace vobrix
