// A model a user can take away: the best program of each population of a run with everything
// needed to evaluate it again outside the run (window, functions, normalization). Plain data:
// the file format (model_json.h), the predictor (predictor.h) and the exporters (export.h) all
// read this one struct.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "engine/functions.h"
#include "engine/linear_scaling.h"
#include "engine/problem_record.h"

namespace vobrix::model {

// Everything wrong with a model or its file; the message names the field
// ("populations[1].program[3]: unknown symbol \"foo\"").
class ModelError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The format a model is written in: 1, which every version of the program reads, unless it
// averages seasons (differenceSeasons), which came with version 2, or combines parts, which came
// with version 3: a program that reads only 1 would otherwise silently leave them out.
inline constexpr int kModelFormatVersion = 1;
inline constexpr int kNewestModelFormatVersion = 3;
inline constexpr const char* kProgramVersion = "1.0";

// Bounds that keep a hand-edited file from asking for absurd amounts of work or memory.
inline constexpr std::int64_t kMaxWindowSize = 100'000;
inline constexpr std::size_t kMaxProgramLength = 1'000'000;
inline constexpr std::size_t kMaxPopulations = 1024;
inline constexpr std::size_t kMaxParts = 8;

// One node of a program in prefix order.
struct ModelNode {
  enum class Kind { Function, Variable, Constant };
  Kind kind = Kind::Constant;
  int index = 0;       // FunctionIndex of a function, k of the variable Xk
  double value = 0.0;  // a constant's full value

  bool operator==(const ModelNode&) const = default;
};

// The data were normalized: the run saw (y - low) / (high - low), rounded as the normalization
// rounds (problem/normalize.h), and its predictions are mapped back by low + (high - low) * p.
struct Normalization {
  double low = 0.0;
  double high = 1.0;
  bool operator==(const Normalization&) const = default;
};

// The program's output p becomes a + b * p (in the units the run scored, before the mapping
// back to the data's units). Absent means p is used as it is.
using vobrix::LinearScaling;

struct PopulationModel {
  std::vector<ModelNode> program;
  double trainingMse = 0.0;             // the run's raw fitness of this program
  std::optional<double> validationMse;  // absent when the run had no validation data
  // This program's own a + b * p (a run with linear scaling fits one per program); absent, the
  // model's scaling applies. Its initializer lets PopulationModel{program, training,
  // validation} leave it out without a missing-initializer warning.
  std::optional<LinearScaling> scaling = std::nullopt;
  bool operator==(const PopulationModel&) const = default;
};

// Predictions are held to [low, high], a guard against a program that runs away far from the
// data: p < low gives low, p > high gives high, anything else (NaN included) stays as it is.
// In the data's units; a clipped model is never normalized.
struct Clip {
  double low = 0.0;
  double high = 0.0;
  bool operator==(const Clip&) const = default;
};

// One member of an ensemble: the program that one run of a forecast chose.
struct MemberModel {
  std::int32_t number = 1;      // from 1 among all the ensemble's members
  std::uint32_t seed = 0;       // the seed of the member's run
  std::int32_t generation = 0;  // the generation (from 0) whose best program this is
  std::vector<ModelNode> program;
  double trainingMse = 0.0;  // on all the training data
  double holdoutMse = 0.0;   // on the inner hold-out that chose it
  // The member's own a + b * P, in a forecast with linear scaling.
  std::optional<LinearScaling> scaling = std::nullopt;
  bool operator==(const MemberModel&) const = default;
};

// A part of an ensemble written by one shard: the members whose number n has
// (n - 1) mod count == index - 1.
struct Shard {
  std::int32_t index = 1;  // from 1
  std::int32_t count = 1;
  bool operator==(const Shard&) const = default;
};

// Several programs whose prediction is the median of theirs (the mean of the two middle values
// for an even count), then clipped. The members take the place of the populations.
struct Ensemble {
  std::int32_t runs = 0;  // members of the whole ensemble
  std::optional<Shard> shard;
  std::vector<MemberModel> members;  // ascending numbers
  bool operator==(const Ensemble&) const = default;
};

struct Model {
  int formatVersion = kModelFormatVersion;
  std::string programVersion = kProgramVersion;  // of the program that wrote the model
  std::int32_t windowSize = 0;
  std::vector<int> functions;  // FunctionIndex values of the run's function set, ascending
  std::optional<Normalization> normalization;
  std::optional<LinearScaling> scaling;         // for every population without a scaling of its own
  std::map<std::string, std::string> settings;  // the run's option texts, by option name
  std::optional<std::uint32_t> seed;
  std::vector<PopulationModel> populations;  // empty in an ensemble
  std::optional<Clip> clip;
  std::optional<Ensemble> ensemble;
  // The lags the series is differenced at before the programs see it (difference.h), ascending;
  // empty for none. The programs' window, the clip and the scaling are then all about the
  // differenced values, and a prediction is the base of the earlier values plus the clipped
  // value. A differenced model is never normalized.
  std::vector<std::int32_t> difference;
  // How many seasons the largest lag (above 1) is averaged over (difference.h); 1 for a plain
  // difference, and for a model without differencing.
  std::int32_t differenceSeasons = 1;
  // A forecast made more than one way: the prediction is the mean of the parts' predictions
  // (the first plus the others, in order, over their count). Each part is an ensemble model of
  // its own, with its own window, clip, differencing and settings, and the whole's functions
  // and seed; the whole has no window (0), populations, ensemble, clip, scaling, normalization
  // or differencing of its own. Empty for every other model.
  std::vector<Model> parts;
  bool operator==(const Model&) const = default;
};

// How many of the latest values one prediction reads: the window, plus the span of the
// differencing; the most any part reads in a model of parts. predictions[i] of a series predict
// series[i + InputCount(model)].
std::int32_t InputCount(const Model& model);

// The model's differencing as the filter of difference.h: its coefficients ({1} for none) and
// the values before a target it reads.
std::vector<double> DifferenceCoefficientsOf(const Model& model);
std::int32_t DifferenceSpanOf(const Model& model);

// The format version the model is written in (kModelFormatVersion above).
int FormatVersion(const Model& model);

// The engine's FunctionTable, whose symbols and arities the model layer uses.
const FunctionTable& Primitives();
// The FunctionIndex of a primitive's symbol ("+", "sin", ...), or nothing.
std::optional<int> FunctionIndexOf(std::string_view symbol);

// Checks everything a hand-edited model could get wrong beyond its JSON types: window size,
// function set, programs (known and enabled functions, variables inside the window, finite
// constants, a single complete prefix expression), normalization range, scaling, errors.
// Throws ModelError naming the field.
void ValidateModel(const Model& model);

// The model's window size and function set, taken from a run's problem. A run's best programs
// are at hand in RunObserver::afterStep: population.Current()[0], before the generations swap,
// with report.bestFitness and report.validationError as its errors.
Model ModelOfProblem(const Problem& problem);
// A program of the run's problem as model nodes, constants at their full value.
std::vector<ModelNode> ProgramOfGenes(const Problem& problem, const Node* genes,
                                      std::int32_t length);

// The population to export: `requested` when given (0-based; ModelError when out of range),
// otherwise the one with the lowest validation error, or the lowest training error when the
// model has no validation errors; the lowest index among equals. An ensemble, and a model of
// parts, is one model: 0, and ModelError for any request.
std::size_t ChoosePopulation(const Model& model, std::optional<std::size_t> requested = {});

// Member k (0-based) of an ensemble as a model of one population, without the clip and the
// differencing: what the predictor and the exporters combine.
Model MemberAsModel(const Model& model, std::size_t k);

// The median of the values (the mean of the two middle ones for an even count), NaN ordered
// above every number. Reorders the values. At least one value.
double Median(std::vector<double>& values);
// The value held to the clip's range (nothing without a clip).
double Clipped(const std::optional<Clip>& clip, double value);
// The scaling of population `population` (0-based): its own, else the model's, else none.
const std::optional<LinearScaling>& ScalingOf(const Model& model, std::size_t population);

// "X" followed by k: the symbol of the variable that holds window value k.
std::string VariableSymbol(int k);

// A constant or error written so that reading it gives the same double: "%.17g" in the C
// locale ("-0", "0.10000000000000001", "1e+300"), "inf" for an infinity.
std::string ExactText(double value);

}  // namespace vobrix::model
