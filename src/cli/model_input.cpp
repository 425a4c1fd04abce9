#include "cli/model_input.h"

#include <optional>

#include "cli/exit.h"
#include "cli/output_files.h"
#include "model/model_json.h"

namespace vobrix::cli {

model::Model ReadModelOption(const std::string& path) {
  try {
    return model::ReadModelFile(path);
  } catch (const model::ModelError& e) {
    Fail(std::string("--model: ") + e.what());
  }
}

std::size_t ChoosePopulationOption(const model::Model& model,
                                   const std::optional<std::string>& text) {
  // A combined forecast's shard holds the same shard of each of its parts.
  const model::Model& ensemble = model.parts.empty() ? model : model.parts.front();
  if (ensemble.ensemble && ensemble.ensemble->shard) {
    Fail("--model: the model is shard " + std::to_string(ensemble.ensemble->shard->index) + "/" +
         std::to_string(ensemble.ensemble->shard->count) +
         " of an ensemble; merge the parts first (vobrix-cli merge)");
  }
  std::optional<std::size_t> requested;
  if (text) {
    requested = static_cast<std::size_t>(ParseWholeNumber(
                    "--population", *text, 1, static_cast<long long>(model::kMaxPopulations))) -
                1;
  }
  try {
    return model::ChoosePopulation(model, requested);
  } catch (const model::ModelError& e) {
    Fail(std::string("--population: ") + e.what());
  }
}

}  // namespace vobrix::cli
