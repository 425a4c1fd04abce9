// The files the subcommands write besides standard output, and the whole numbers they read:
// shared by run, predict and export so that every output is refused, opened and written alike.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "results/replacing_file.h"

namespace vobrix::cli {

using results::ReplacingFile;
using results::WriteError;

// An option and the path it names ("--model", "run.json").
using NamedPath = std::pair<std::string, std::string>;

// Exits with status 2 when an output names one of the inputs or another output, however
// spelled ("a/../in.txt", a link): the output replaces its file at the end and would destroy
// the input, or two outputs would overwrite each other.
void CheckOutputsAreNotInputs(const std::vector<NamedPath>& outputs,
                              const std::vector<NamedPath>& inputs);

// An output opened at the start and put in place at the end, so that an unwritable path is
// refused before any work and a failure never leaves a half-written file.
class OutputFile {
 public:
  // Exits with status 2, naming the option, when the temporary cannot be created.
  explicit OutputFile(NamedPath option);
  // Writes the whole text and puts the file in place; exits with status 2 on any failure.
  void Commit(const std::string& text);

 private:
  NamedPath option_;
  std::unique_ptr<ReplacingFile> file_;
};

// The text on standard output; exits with status 2 when it cannot be written.
void WriteStandardOutput(const std::string& text);

// A whole number from `low` to `high` written in decimal digits (a leading "-" allowed);
// exits with status 2 naming the option and the range otherwise.
long long ParseWholeNumber(const std::string& option, const std::string& text, long long low,
                           long long high);

}  // namespace vobrix::cli
