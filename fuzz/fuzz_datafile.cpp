// The data-file reader on arbitrary file contents: all or nothing, and what it returns is what
// the grid can hold and read back.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "check.h"
#include "problem/datafile.h"
#include "problem/textconv.h"

namespace {

using vobrix::CellRow;
using vobrix::DataFileError;

const std::string kPath = "fuzz.txt";

// A loaded cell holds a finite number that reads back and is already in its 6-digit form.
void CheckCell(const std::string& text) {
  double value = 0.0;
  FUZZ_CHECK(vobrix::TryTextToFloat(text, value));
  FUZZ_CHECK(std::isfinite(value));
  FUZZ_CHECK(vobrix::FormatGeneral(value, 6) == text);
}

bool SameRows(const std::vector<CellRow>& a, const std::vector<CellRow>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](const CellRow& l, const CellRow& r) { return l.x == r.x && l.y == r.y; });
}

bool Refused(const std::string& contents) {
  try {
    vobrix::ParseDataFile(contents, kPath);
  } catch (const DataFileError&) {
    return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string contents(reinterpret_cast<const char*>(data), size);
  const int lines = vobrix::CountLines(contents);
  std::vector<CellRow> rows;
  try {
    rows = vobrix::ParseDataFile(contents, kPath);
  } catch (const DataFileError& e) {
    // Refused: the error names a line of the file, and nothing else escapes.
    FUZZ_CHECK(e.kind() == DataFileError::Kind::kInvalidData);
    FUZZ_CHECK(e.path() == kPath);
    FUZZ_CHECK(e.lineCount() == lines);
    FUZZ_CHECK(e.line() >= 1 && e.line() <= std::max(lines, 1));
    return 0;
  }
  // Accepted: one row per line, every cell a number in its 6-digit form.
  FUZZ_CHECK(lines > 0);
  FUZZ_CHECK(rows.size() == static_cast<std::size_t>(lines));
  std::string written;
  for (const CellRow& row : rows) {
    CheckCell(row.x);
    CheckCell(row.y);
    written += row.x + "\t" + row.y + "\n";
  }
  // The grid saved one pair per line loads back to the same texts.
  FUZZ_CHECK(SameRows(vobrix::ParseDataFile(written, kPath), rows));
  // A line that is no pair spoils the whole file, wherever it is.
  FUZZ_CHECK(Refused(contents + "\n#\n"));
  FUZZ_CHECK(Refused("#\n" + contents));
  return 0;
}
