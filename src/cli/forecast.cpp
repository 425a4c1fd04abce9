// `vobrix-cli forecast`: the window chosen on an inner hold-out, an ensemble of runs whose
// median is clipped to the training range, and the same outputs as `run` (model, predictions,
// summary). The work is in src/forecast; this file reads the options and writes the files.
#include "forecast/ensemble.h"

#include <CLI/CLI.hpp>
#include <chrono>
#include <cstdio>
#include <memory>

#include "cli/commands.h"
#include "cli/exit.h"
#include "cli/output.h"
#include "cli/output_files.h"
#include "cli/summary.h"
#include "forecast/baselines.h"
#include "model/difference.h"
#include "model/model_json.h"
#include "problem/datafile.h"
#include "results/prediction_table.h"

namespace vobrix::cli {
namespace {

constexpr long long kMaxThreads = 1024;
constexpr double kMaxBudget = 7 * 24 * 3600.0;
constexpr double kMaxClipMargin = 1000.0;

struct ForecastArgs {
  std::string train, validation, seed, runs, threads, horizon, model, predictions, summary, budget,
      shard;
  std::string clipMargin, difference;
  bool linearScaling = true;
  bool combine = true;
};

// What the parsed options ask for.
struct ForecastJob {
  forecast::ForecastSettings settings;
  int threads = 0;
  long long horizon = 0;
  std::optional<model::Shard> shard;
  std::string trainPath;
  std::optional<std::string> validationPath, modelPath, predictionsPath, summaryPath;
};

// A number above `low` (or from it, when lowAllowed) and at most `high`.
double ParseNumberFrom(const std::string& name, const std::string& text, double low, double high,
                       bool lowAllowed) {
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  const bool above = lowAllowed ? value >= low : value > low;
  if (text.empty() || *end != '\0' || !above || !(value <= high)) {
    Fail(name + ": \"" + text + "\" is not a number " + (lowAllowed ? "from " : "above ") +
         FormatNumber(low) + " and at most " + FormatNumber(high));
  }
  return value;
}

std::optional<std::vector<std::int32_t>> ParseDifference(const std::string& text) {
  try {
    return forecast::ReadDifferenceText(text);
  } catch (const std::invalid_argument& e) {
    Fail("--difference: \"" + text + "\" " + e.what());
  }
}

model::Shard ParseShard(const std::string& text, std::int32_t runs) {
  const std::size_t slash = text.find('/');
  const std::string rule = "--shard: \"" + text + "\" is not i/n with 1 <= i <= n <= --runs (" +
                           std::to_string(runs) + ")";
  if (slash == std::string::npos) Fail(rule);
  const auto whole = [&](const std::string& part) {
    if (part.empty() || part.size() > 5 || part.find_first_not_of("0123456789") != part.npos) {
      Fail(rule);
    }
    return static_cast<std::int32_t>(std::stoi(part));
  };
  const model::Shard shard{whole(text.substr(0, slash)), whole(text.substr(slash + 1))};
  if (shard.index < 1 || shard.index > shard.count || shard.count > runs) Fail(rule);
  return shard;
}

ForecastJob ReadJob(const CLI::App& command, const ForecastArgs& args) {
  ForecastJob job;
  job.trainPath = args.train;
  job.validationPath = Given(command, "--validation", args.validation);
  job.modelPath = Given(command, "--model", args.model);
  job.predictionsPath = Given(command, "--predictions", args.predictions);
  job.summaryPath = Given(command, "--summary", args.summary);
  job.settings.seed =
      command.count("--seed") > 0
          ? static_cast<std::uint32_t>(ParseWholeNumber("--seed", args.seed, 0, 4294967295LL))
          : CalendarSeed();
  if (command.count("--runs") > 0) {
    job.settings.runs = static_cast<std::int32_t>(
        ParseWholeNumber("--runs", args.runs, 1, static_cast<long long>(model::kMaxPopulations)));
  }
  if (command.count("--threads") > 0) {
    job.threads = static_cast<int>(ParseWholeNumber("--threads", args.threads, 0, kMaxThreads));
  }
  job.settings.linearScaling = args.linearScaling;
  job.settings.combine = args.combine;
  if (command.count("--clip-margin") > 0) {
    job.settings.clipMargin =
        ParseNumberFrom("--clip-margin", args.clipMargin, 0.0, kMaxClipMargin, true);
  }
  if (command.count("--difference") > 0) job.settings.difference = ParseDifference(args.difference);
  if (command.count("--budget") > 0)
    job.settings.budgetSeconds = ParseNumberFrom("--budget", args.budget, 0.0, kMaxBudget, false);
  if (command.count("--horizon") > 0) {
    job.horizon = ParseWholeNumber("--horizon", args.horizon, 0, kMaxHorizon);
    if (!job.predictionsPath) Fail("--horizon: the forecast goes to --predictions FILE");
  }
  if (command.count("--shard") > 0) {
    job.shard = ParseShard(args.shard, job.settings.runs);
    if (!job.modelPath || job.predictionsPath || job.summaryPath) {
      Fail(
          "--shard: a shard writes only its part of the model (--model FILE); merge the parts "
          "with `vobrix-cli merge`, then predict");
    }
  }
  return job;
}

std::vector<CellRow> ReadRows(const std::string& path) {
  try {
    return ReadDataFile(path);
  } catch (const DataFileError& e) {
    Fail(e.what());
  }
}

// The forecast (population 0) and its members (1 ..), each member alone with its ensemble's
// clip and differencing; the members of a combined forecast's second part follow those of the
// first (runs + 1 ..).
std::vector<std::pair<std::size_t, model::Model>> Labelled(const model::Model& m) {
  std::vector<std::pair<std::size_t, model::Model>> models{{0, m}};
  std::vector<const model::Model*> ways;
  for (const model::Model& part : m.parts) ways.push_back(&part);
  if (ways.empty()) ways.push_back(&m);
  for (std::size_t p = 0; p < ways.size(); ++p) {
    const model::Model& part = *ways[p];
    const auto first = p * static_cast<std::size_t>(part.ensemble->runs);
    for (std::size_t k = 0; k < part.ensemble->members.size(); ++k) {
      model::Model member = model::MemberAsModel(part, k);
      member.clip = part.clip;
      member.difference = part.difference;
      member.differenceSeasons = part.differenceSeasons;
      models.emplace_back(first + static_cast<std::size_t>(part.ensemble->members[k].number),
                          member);
    }
  }
  return models;
}

// The window of a model, or of a combined forecast's first part.
std::int32_t WindowOf(const model::Model& m) {
  return m.parts.empty() ? m.windowSize : m.parts.front().windowSize;
}

std::string PredictionsText(const model::Model& m, const Series& data, std::size_t trainingRows,
                            long long horizon) {
  std::string csv = PredictionsHeader();
  for (const auto& [label, single] : Labelled(m)) {
    AppendModelRows(csv, label, model::Predictor(single, 0), data, trainingRows, horizon);
  }
  return csv;
}

Json DifferenceChoiceJson(const forecast::DifferenceChoice& choice) {
  Json scores = Json::array();
  for (const forecast::DifferenceScore& s : choice.scores) {
    Json score = {{"lags", s.lags}, {"holdoutMse", JsonNumber(s.holdoutMse)}};
    if (s.seasons > 1) score["seasons"] = s.seasons;
    scores.push_back(std::move(score));
  }
  Json json = {{"season", choice.season}, {"candidates", scores}, {"chosen", choice.lags}};
  if (choice.seasons > 1) json["chosenSeasons"] = choice.seasons;
  return json;
}

Json WindowChoiceJson(const forecast::WindowChoice& choice) {
  Json scores = Json::array();
  for (const forecast::WindowScore& s : choice.scores) {
    scores.push_back({{"window", s.window}, {"holdoutMse", JsonNumber(s.holdoutMse)}});
  }
  return {{"arOrder", choice.arOrder}, {"candidates", scores}, {"chosen", choice.window}};
}

// A combined forecast's ways: each one's differencing and window choice.
Json PartsJson(const forecast::Forecast& result) {
  Json parts = Json::array();
  for (std::size_t p = 0; p < result.model.parts.size(); ++p) {
    const model::Model& part = result.model.parts[p];
    Json json = {{"difference", part.difference},
                 {"windowChoice", WindowChoiceJson(result.partWindows.at(p))}};
    if (part.differenceSeasons > 1) json["differenceSeasons"] = part.differenceSeasons;
    parts.push_back(std::move(json));
  }
  return parts;
}

// One line per model on standard output: its errors on the training and validation targets.
std::string SummaryText(const forecast::Forecast& result, const Series& data,
                        std::size_t trainingRows, double wallSeconds, std::string& report) {
  const model::Model& m = result.model;
  const auto w = static_cast<std::size_t>(model::InputCount(m));
  const SummaryBaselines baselines = ScoreSummaryBaselines(data.y, trainingRows, w);
  Json populations = Json::array();
  report = "population,window,trainingMse,validationMse\n";
  for (const auto& [label, single] : Labelled(m)) {
    std::vector<double> p = model::Predictor(single, 0).Predict(data.y).predictions;
    // Scored on the targets of the whole forecast: a part that reads fewer values than another
    // predicts earlier ones too.
    p.erase(p.begin(), p.begin() + (w - static_cast<std::size_t>(model::InputCount(single))));
    const double training = forecast::MeanSquaredError(
        baselines.training, w, std::vector<double>(p.begin(), p.begin() + (trainingRows - w)));
    std::optional<double> validation;
    if (data.y.size() > trainingRows) {
      validation = forecast::MeanSquaredError(
          data.y, trainingRows, std::vector<double>(p.begin() + (trainingRows - w), p.end()));
    }
    populations.push_back(
        PopulationSummaryJson(label, training, validation, p, data.y, w, baselines));
    report += std::to_string(label) + "," + std::to_string(WindowOf(single)) + "," +
              FormatNumber(training) + "," + (validation ? FormatNumber(*validation) : "") + "\n";
  }
  Json root = SummaryHeadJson("forecast", "data", WindowOf(m), wallSeconds, baselines);
  root["difference"] = DifferenceChoiceJson(result.difference);
  root["windowChoice"] = WindowChoiceJson(result.windows);
  if (!m.parts.empty()) root["parts"] = PartsJson(result);
  root["populations"] = populations;
  return root.dump(2) + "\n";
}

int RunForecastCommand(const ForecastJob& job) {
  const auto start = std::chrono::steady_clock::now();
  std::vector<NamedPath> outputs, inputs{{"training", job.trainPath}};
  if (job.validationPath) inputs.emplace_back("validation", *job.validationPath);
  if (job.modelPath) outputs.emplace_back("--model", *job.modelPath);
  if (job.predictionsPath) outputs.emplace_back("--predictions", *job.predictionsPath);
  if (job.summaryPath) outputs.emplace_back("--summary", *job.summaryPath);
  CheckOutputsAreNotInputs(outputs, inputs);
  std::vector<std::unique_ptr<OutputFile>> files;
  for (const NamedPath& output : outputs) files.push_back(std::make_unique<OutputFile>(output));

  const std::vector<CellRow> training = ReadRows(job.trainPath);
  Series data;
  AppendRows(data, training);
  if (job.validationPath) AppendRows(data, ReadRows(*job.validationPath));
  forecast::Forecast result;
  try {
    result = forecast::RunForecast(training, job.settings, job.threads, job.shard);
  } catch (const forecast::ForecastError& e) {
    Fail(std::string("--train: ") + e.what());
  }
  std::string report;
  std::map<std::string, std::string> texts;
  texts["--model"] = model::ModelToJson(result.model);
  if (!job.shard) {
    texts["--predictions"] = PredictionsText(result.model, data, training.size(), job.horizon);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    texts["--summary"] = SummaryText(result, data, training.size(), seconds, report);
  }
  for (std::size_t i = 0; i < outputs.size(); ++i) files[i]->Commit(texts[outputs[i].first]);
  WriteStandardOutput(report);
  return 0;
}

}  // namespace

Action AddForecastCommand(CLI::App& app) {
  CLI::App* command = app.add_subcommand(
      "forecast",
      "Differences a trend or a season out of the training data where that helps (--difference), "
      "chooses the window on an inner hold-out (the last fifth of the training data), runs an "
      "ensemble of --runs runs at it and predicts the median of their best programs, clipped "
      "to the training range widened by --clip-margin times it on each side.");
  auto args = std::make_shared<ForecastArgs>();
  const auto option = [command](const char* name, std::string& text, const char* type,
                                const std::string& help) {
    return command->add_option(name, text, help)->type_name(type);
  };
  option("--train", args->train, "FILE", "the training data")->required();
  option("--validation", args->validation, "FILE",
         "data that continue the training data; only scored, never used for a choice");
  option("--seed", args->seed, "S", "seed of the forecast (default: the calendar time)");
  option("--runs", args->runs, "K", "members of the ensemble (default 10)");
  option("--threads", args->threads, "N",
         "runs side by side, each in a process of its own on one thread (default 0: one per "
         "core); never changes a result");
  option("--budget", args->budget, "SECONDS",
         "the work of the whole forecast, as seconds on a two-core machine (default 20)");
  option("--horizon", args->horizon, "H", "forecast H steps past the data in --predictions");
  option("--model", args->model, "FILE", "write the ensemble as a model file (JSON)");
  option("--predictions", args->predictions, "FILE",
         "write the predictions as CSV (population 0 is the forecast, 1 .. K its members, "
         "K + 1 .. 2K those of a combined forecast's second part)");
  option("--summary", args->summary, "FILE", "write the errors beside the baselines (JSON)");
  command->add_flag("--linear-scaling,!--no-linear-scaling", args->linearScaling,
                    "score every formula P as a + b * P with least-squares a and b; each member "
                    "keeps its own a and b in the model (default: on)");
  command->add_flag("--combine,!--no-combine", args->combine,
                    "forecast a seasonal series also with its season treated the other way "
                    "(left to the formulas, or taken out against earlier seasons) and predict "
                    "the mean of the two, each on half the budget; not with --difference LAGS "
                    "(default: on)");
  option("--clip-margin", args->clipMargin, "M",
         "hold predictions to the training range widened by M times it on each side (default "
         "1)");
  option("--difference", args->difference, "auto|none|LAGS",
         "difference the series before the runs at these lags, e.g. 1 or 1,12 (default auto: "
         "chosen on the inner hold-out among none, 1, a season s, and 1 and s, the season then "
         "also against the mean of up to 10 seasons)");
  option("--shard", args->shard, "i/n",
         "run only members i, i + n, ... and write that part of the model (--model)");
  return [command, args] { return RunForecastCommand(ReadJob(*command, *args)); };
}

}  // namespace vobrix::cli
