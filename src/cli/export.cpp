// `vobrix-cli export`: one population of a saved model written out exactly as text, C, Python
// or LaTeX.
#include "model/export.h"

#include <CLI/CLI.hpp>
#include <memory>

#include "cli/commands.h"
#include "cli/exit.h"
#include "cli/model_input.h"
#include "cli/output_files.h"

namespace vobrix::cli {
namespace {

struct ExportArgs {
  std::string model, format, output, population;
};

model::Exporter ExporterOf(const std::string& format) {
  if (const model::Exporter exporter = model::ExporterOf(format)) return exporter;
  Fail("--format: \"" + format + "\" is not one of text, c, python, latex");
}

int Export(const ExportArgs& args, const std::optional<std::string>& output,
           const std::optional<std::string>& population) {
  const model::Exporter exporter = ExporterOf(args.format);
  std::unique_ptr<OutputFile> file;
  if (output) {
    CheckOutputsAreNotInputs({{"--output", *output}}, {{"model", args.model}});
    file = std::make_unique<OutputFile>(NamedPath{"--output", *output});
  }
  const model::Model model = ReadModelOption(args.model);
  const std::string text =
      model::ExportFile(exporter, model, ChoosePopulationOption(model, population));
  if (file) {
    file->Commit(text);
  } else {
    WriteStandardOutput(text);
  }
  return 0;
}

}  // namespace

Action AddExportCommand(CLI::App& app) {
  CLI::App* command = app.add_subcommand(
      "export",
      "Writes one population of a saved model exactly as text, a C function, a Python function "
      "or LaTeX.");
  auto args = std::make_shared<ExportArgs>();
  command->add_option("--model", args->model, "the model file that `run --model` wrote")
      ->type_name("FILE")
      ->required();
  command->add_option("--format", args->format, "text, c, python or latex")
      ->type_name("FORMAT")
      ->required();
  command
      ->add_option("--population", args->population,
                   "export population N (from 1) instead of the one with the lowest "
                   "validation error")
      ->type_name("N");
  command->add_option("--output", args->output, "write to FILE instead of standard output")
      ->type_name("FILE");
  return [command, args] {
    return Export(*args, Given(*command, "--output", args->output),
                  Given(*command, "--population", args->population));
  };
}

}  // namespace vobrix::cli
