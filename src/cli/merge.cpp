// `vobrix-cli merge`: the parts that `forecast --shard i/n` wrote, put together into the model
// the whole forecast writes, byte for byte.
#include <CLI/CLI.hpp>
#include <memory>

#include "cli/commands.h"
#include "cli/exit.h"
#include "cli/model_input.h"
#include "cli/output_files.h"
#include "forecast/baselines.h"
#include "forecast/ensemble.h"
#include "model/model_json.h"

namespace vobrix::cli {
namespace {

struct MergeArgs {
  std::string model;
  std::vector<std::string> parts;
};

int Merge(const MergeArgs& args) {
  std::vector<NamedPath> inputs;
  for (const std::string& part : args.parts) inputs.emplace_back("part", part);
  CheckOutputsAreNotInputs({{"--model", args.model}}, inputs);
  OutputFile file({"--model", args.model});
  std::vector<model::Model> parts;
  for (const std::string& part : args.parts) parts.push_back(ReadModelOption(part));
  try {
    file.Commit(model::ModelToJson(forecast::MergeParts(parts)));
  } catch (const forecast::ForecastError& e) {
    Fail(std::string("merge: ") + e.what());
  }
  return 0;
}

}  // namespace

Action AddMergeCommand(CLI::App& app) {
  CLI::App* command = app.add_subcommand(
      "merge", "Puts the parts of a sharded forecast (forecast --shard i/n) together.");
  auto args = std::make_shared<MergeArgs>();
  command->add_option("--model", args->model, "write the whole model to FILE")
      ->type_name("FILE")
      ->required();
  command->add_option("parts", args->parts, "the parts, one per shard, in any order")
      ->type_name("PART")
      ->required();
  return [args] { return Merge(*args); };
}

}  // namespace vobrix::cli
