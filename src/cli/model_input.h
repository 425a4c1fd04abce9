// The saved model that predict and export read, and the population they use.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "model/model.h"

namespace vobrix::cli {

// Reads and checks the model file; exits with status 2 with a message that names the file and
// the field at fault.
model::Model ReadModelOption(const std::string& path);

// The population of --population N (1-based) or, without it, the one
// with the lowest validation error (training error without validation); 0 for an ensemble.
// Exits with status 2 when N is no population of the model, when N is given for an ensemble and
// when the model is only one shard's part of an ensemble.
std::size_t ChoosePopulationOption(const model::Model& model,
                                   const std::optional<std::string>& text);

}  // namespace vobrix::cli
