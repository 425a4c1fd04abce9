#include "problem/datafile.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <utility>

#include "problem/textconv.h"
#include "problem/textconv_detail.h"

namespace vobrix {

namespace {

std::string DataFileMessage(DataFileError::Kind kind, const std::string& path, int line,
                            const std::string& cause = {}) {
  switch (kind) {
    case DataFileError::Kind::kCannotOpen:
      return "Cannot open the file '" + path + "'.";
    case DataFileError::Kind::kCannotRead:
      return "Cannot read the file '" + path + "': " + cause + ".";
    case DataFileError::Kind::kTooLarge:
      return "The file '" + path + "' is too large: " + cause + ".";
    case DataFileError::Kind::kInvalidData:
      break;
  }
  return "Invalid data pair at line " + std::to_string(line) + " of '" + path + "'.";
}

// White space as C's isspace sees it in the "C" locale.
bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsLineBreak(char c) {
  return c == '\n' || c == '\r';
}

// Whether the character at `i` ends a line: an LF, or a CR not followed by LF (a CR LF pair
// ends its line at the LF).
bool EndsLineAt(std::string_view contents, std::size_t i) {
  return contents[i] == '\n' ||
         (contents[i] == '\r' && (i + 1 >= contents.size() || contents[i + 1] != '\n'));
}

// One number at `pos` as "%f" reads it, except that hexadecimal numbers, "nan" and "inf" are
// refused, the value must be finite in single precision, and the number must end at white
// space or at the end of the file (no "1.5x", "0x10", "1e" or "1.2.3"). Advances `pos` past
// it.
bool ReadFloat(std::string_view contents, std::size_t& pos, float& value) {
  const std::string_view rest = contents.substr(pos);
  const std::size_t length = detail::ScanDecimal(rest);
  if (length == 0) {
    return false;
  }
  if (length < rest.size() && !IsSpace(rest[length])) {
    return false;
  }
  if (!detail::ReadDecimal(rest.substr(0, length), value)) {
    return false;
  }
  pos += length;
  return true;
}

void SkipSpace(std::string_view contents, std::size_t& pos) {
  while (pos < contents.size() && IsSpace(contents[pos])) {
    ++pos;
  }
}

// Whether one line (without its break) holds exactly two numbers the reader accepts.
bool IsGoodLine(std::string_view line) {
  std::size_t pos = 0;
  float value = 0.0f;
  for (int i = 0; i < 2; ++i) {
    SkipSpace(line, pos);
    if (!ReadFloat(line, pos, value)) {
      return false;
    }
  }
  SkipSpace(line, pos);
  return pos == line.size();
}

// The line to blame for a failed read: the first line that does not hold exactly one pair,
// or else the line where reading stopped. Only computed on failure.
int BlameLine(std::string_view contents, std::size_t failedAt) {
  int line = 1;
  std::size_t start = 0;
  while (start < contents.size()) {
    std::size_t end = start;
    while (end < contents.size() && !IsLineBreak(contents[end])) {
      ++end;
    }
    if (!IsGoodLine(contents.substr(start, end - start))) {
      return line;
    }
    if (end < contents.size() && contents[end] == '\r' && end + 1 < contents.size() &&
        contents[end + 1] == '\n') {
      ++end;
    }
    start = end + 1;
    ++line;
  }
  // Every line is good (or there is none): blame the line where reading stopped.
  int stopLine = 1;
  for (std::size_t i = 0; i < failedAt && i < contents.size(); ++i) {
    if (EndsLineAt(contents, i)) {
      ++stopLine;
    }
  }
  return std::clamp(stopLine, 1, std::max(line - 1, 1));
}

// The text of the 1-based line `line` without its break, cut after `limit` bytes at the start
// of a UTF-8 character.
std::string LineText(std::string_view contents, int line, std::size_t limit) {
  std::size_t start = 0;
  for (int current = 1; current < line && start < contents.size(); ++start) {
    if (EndsLineAt(contents, start)) ++current;
  }
  std::size_t end = start;
  while (end < contents.size() && !IsLineBreak(contents[end])) ++end;
  std::string_view text = contents.substr(start, end - start);
  if (text.size() <= limit) return std::string(text);
  std::size_t cut = limit;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return std::string(text.substr(0, cut)) + "...";
}

}  // namespace

DataFileError::DataFileError(Kind kind, std::string path, int line, int lineCount,
                             std::string lineText)
    : std::runtime_error(DataFileMessage(kind, path, line)),
      kind_(kind),
      path_(std::move(path)),
      line_(line),
      lineCount_(lineCount),
      lineText_(std::move(lineText)) {}

DataFileError::DataFileError(Kind kind, std::string path, const std::string& cause)
    : std::runtime_error(DataFileMessage(kind, path, 0, cause)),
      kind_(kind),
      path_(std::move(path)),
      line_(0),
      lineCount_(0) {}

int CountLines(std::string_view contents) {
  int breaks = 0;
  for (std::size_t i = 0; i < contents.size(); ++i) {
    if (EndsLineAt(contents, i)) {
      ++breaks;
    }
  }
  const bool endsWithBreak = !contents.empty() && IsLineBreak(contents.back());
  return breaks + (contents.empty() || endsWithBreak ? 0 : 1);
}

std::vector<CellRow> ParseDataFile(std::string_view contents, const std::string& path) {
  const int lineCount = CountLines(contents);
  auto fail = [&](std::size_t at) {
    const int line = BlameLine(contents, at);
    return DataFileError(DataFileError::Kind::kInvalidData, path, line, lineCount,
                         LineText(contents, line, DataFileError::kMaxLineText));
  };
  // The grid cannot hold zero rows: a file without a line is invalid data, not an empty load.
  if (lineCount == 0) {
    throw fail(0);
  }

  std::vector<CellRow> rows;
  rows.reserve(static_cast<std::size_t>(lineCount));
  std::size_t pos = 0;
  for (int r = 0; r < lineCount; ++r) {
    float x = 0.0f;
    float y = 0.0f;
    // "%f" skips leading white space; "\t" and "\n" each match any run of it, even none.
    SkipSpace(contents, pos);
    if (!ReadFloat(contents, pos, x)) {
      throw fail(pos);
    }
    SkipSpace(contents, pos);
    if (!ReadFloat(contents, pos, y)) {
      throw fail(pos);
    }
    rows.push_back({FormatGeneral(x, 6), FormatGeneral(y, 6)});
  }
  // fscanf would ignore what follows the last pair; anything but white space there means the
  // file is not one pair per line, so refuse it rather than load misaligned data.
  SkipSpace(contents, pos);
  if (pos != contents.size()) {
    throw fail(pos);
  }
  return rows;
}

namespace {

// The whole file, read in blocks so that a read error becomes a DataFileError and an endless
// or huge source stops at the limits. Line breaks are counted as they arrive; a CR at the end
// of a block waits for the next block to tell a CR LF from a lone CR.
std::string ReadContents(std::FILE* file, const std::string& path, const DataFileLimits& limits,
                         std::uintmax_t sizeHint) {
  auto tooLarge = [&](const std::string& what) {
    return DataFileError(DataFileError::Kind::kTooLarge, path,
                         "a data file may hold at most " + what);
  };
  std::string contents;
  // A regular file's size saves the copies of growing; a device or a pipe tells nothing.
  if (sizeHint <= limits.maxBytes) contents.reserve(static_cast<std::size_t>(sizeHint));
  std::size_t counted = 0;  // contents[0 .. counted) has been counted
  long long lines = 0;
  std::vector<char> block(std::size_t{1} << 20);
  while (true) {
    const std::size_t n = std::fread(block.data(), 1, block.size(), file);
    if (n == 0) {
      if (std::ferror(file)) {
        const int error = errno;
        throw DataFileError(DataFileError::Kind::kCannotRead, path,
                            error != 0 ? std::strerror(error) : "read error");
      }
      break;
    }
    if (n > limits.maxBytes - contents.size()) {
      throw tooLarge(std::to_string(limits.maxBytes) + " bytes");
    }
    contents.append(block.data(), n);
    const char* unread = contents.data() + counted;
    const auto length = static_cast<std::ptrdiff_t>(contents.size() - counted);
    if (std::memchr(unread, '\r', static_cast<std::size_t>(length)) == nullptr) {
      lines += std::count(unread, unread + length, '\n');  // the common case, at memory speed
      counted = contents.size();
    }
    for (; counted < contents.size(); ++counted) {
      if (contents[counted] == '\r' && counted + 1 == contents.size()) break;
      lines += EndsLineAt(contents, counted) ? 1 : 0;
    }
    // A further line needs a further break (or the final unbroken line, counted below).
    if (lines > limits.maxLines) throw tooLarge(std::to_string(limits.maxLines) + " lines");
  }
  if (CountLines(contents) > limits.maxLines) {
    throw tooLarge(std::to_string(limits.maxLines) + " lines");
  }
  return contents;
}

}  // namespace

std::vector<CellRow> ReadDataFile(const std::string& path, const DataFileLimits& limits) {
  const std::u8string utf8(path.begin(), path.end());
  const std::filesystem::path file(utf8);
  std::error_code error;
  if (std::filesystem::is_directory(file, error)) {
    throw DataFileError(DataFileError::Kind::kCannotOpen, path, 0, 0);
  }
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> stream(std::fopen(file.c_str(), "rb"),
                                                               std::fclose);
  if (!stream) {
    throw DataFileError(DataFileError::Kind::kCannotOpen, path, 0, 0);
  }
  const std::uintmax_t size =
      std::filesystem::is_regular_file(file, error) ? std::filesystem::file_size(file, error) : 0;
  errno = 0;
  return ParseDataFile(ReadContents(stream.get(), path, limits, error ? 0 : size), path);
}

}  // namespace vobrix
