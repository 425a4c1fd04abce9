#include "cli/output_files.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>

#include "cli/exit.h"

namespace vobrix::cli {
namespace {

// The same file, or two spellings of a path where no file is yet.
bool SamePath(const std::string& a, const std::string& b) {
  std::error_code error;
  if (std::filesystem::equivalent(a, b, error)) return true;
  const auto resolved = [](const std::string& path) {
    std::error_code ignored;
    const auto absolute = std::filesystem::absolute(path, ignored);
    const auto canonical = std::filesystem::weakly_canonical(absolute, ignored);
    return (ignored ? absolute : canonical).lexically_normal();
  };
  return resolved(a) == resolved(b);
}

}  // namespace

void CheckOutputsAreNotInputs(const std::vector<NamedPath>& outputs,
                              const std::vector<NamedPath>& inputs) {
  for (std::size_t o = 0; o < outputs.size(); ++o) {
    const auto& [option, path] = outputs[o];
    for (const auto& [inputOption, input] : inputs) {
      if (SamePath(path, input)) {
        Fail(option + ": '" + path + "' is the " + inputOption + " file '" + input + "'");
      }
    }
    for (std::size_t other = 0; other < o; ++other) {
      if (SamePath(path, outputs[other].second)) {
        Fail(option + ": '" + path + "' is also the file of " + outputs[other].first);
      }
    }
  }
}

OutputFile::OutputFile(NamedPath option) : option_(std::move(option)) {
  try {
    file_ = std::make_unique<ReplacingFile>(option_.second);
  } catch (const WriteError& e) {
    Fail(option_.first + ": " + e.what());
  }
}

void OutputFile::Commit(const std::string& text) {
  try {
    file_->Write(text);
    file_->Commit();
  } catch (const WriteError& e) {
    Fail(option_.first + ": " + e.what());
  }
}

void WriteStandardOutput(const std::string& text) {
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0) {
    Fail("cannot write the standard output");
  }
}

long long ParseWholeNumber(const std::string& option, const std::string& text, long long low,
                           long long high) {
  const std::size_t start = !text.empty() && text[0] == '-' ? 1 : 0;
  const bool digits = text.size() > start && text.size() - start <= 18 &&
                      std::all_of(text.begin() + static_cast<std::ptrdiff_t>(start), text.end(),
                                  [](unsigned char c) { return std::isdigit(c) != 0; });
  const long long value = digits ? std::stoll(text) : 0;
  if (!digits || value < low || value > high) {
    Fail(option + ": \"" + text + "\" is not a whole number from " + std::to_string(low) + " to " +
         std::to_string(high));
  }
  return value;
}

}  // namespace vobrix::cli
