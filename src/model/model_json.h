// The model file: JSON, one object. Doubles are written as "%.17g" texts (and read back to the
// same bits); programs as arrays of node symbols in prefix order: function symbols ("+",
// "sin"), variables ("X0" the oldest value of the window), constants as number texts.
//
// {"format": "vobrix-model", "version": 1, "programVersion": "1.0", "windowSize": 5,
//  "functions": ["+", "-", "*", "/"], "normalization": {"low": "0", "high": "120"},
//  "seed": 42, "settings": {"--window": "5"},
//  "populations": [{"program": ["+", "X4", "0.5"], "trainingMse": "0.25",
//                   "validationMse": "0.5"}]}
//
// "normalization", "scaling" ({"a": .., "b": ..}), "seed", "settings" and "validationMse" may
// be absent, and so may a forecast's "clip" ({"low": .., "high": ..}) and "ensemble"
// ({"runs": K, "shard": {"index": i, "count": n}, "members": [{"member": 1, "seed": ..,
// "generation": .., "program": [..], "trainingMse": .., "holdoutMse": ..}]}, with
// "populations": [] beside it). Reading accepts JSON numbers wherever a number text is written.
#pragma once

#include <string>
#include <string_view>

#include "model/model.h"

namespace vobrix::model {

// Files larger than this are refused before they are parsed.
inline constexpr std::size_t kMaxModelFileBytes = 64u << 20;

std::string ModelToJson(const Model& model);
// Parses and validates; throws ModelError naming the field for anything wrong, whatever the
// text holds.
Model ModelFromJson(std::string_view text);

// Throw ModelError when the file cannot be written or read (the message names the path).
void WriteModelFile(const Model& model, const std::string& path);
Model ReadModelFile(const std::string& path);

}  // namespace vobrix::model
