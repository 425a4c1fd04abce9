#include "forecast/ensemble.h"

#include <algorithm>
#include <string>

#include "forecast/baselines.h"
#include "forecast/parallel_runs.h"

namespace vobrix::forecast {

namespace {

// The generations of a forecast counted for its control, which it asks after each of them
// whether to go on.
class Tracker {
 public:
  Tracker(const ForecastControl& control, std::size_t total) : control_(control), total_(total) {}

  GenerationHook Hook(std::string stage) {
    return [this, stage = std::move(stage)] {
      ++done_;
      if (control_.progress) control_.progress(done_, total_, stage);
      return !Cancelled();
    };
  }
  bool Cancelled() const { return control_.cancel && control_.cancel->load(); }

 private:
  const ForecastControl& control_;
  std::size_t total_ = 0;
  std::size_t done_ = 0;
};

std::size_t Generations(const PanelTexts& panel) {
  return static_cast<std::size_t>(std::stoul(panel.generations));
}

// One way a forecast treats the series: its differencing, its rows and all that the runs on
// them need, set up before any run so that the progress counts the whole work.
struct PartSetup {
  std::vector<std::int32_t> lags;
  std::int32_t seasons = 1;
  InnerSplit split;
  std::int32_t arOrder = 0;
  std::vector<std::int32_t> candidates;
  WorkPlan plan;
  model::Clip clip;
  std::uint32_t streams = 0;  // added to the stream of every run of the part
};

WindowChoice ChooseWindow(const PartSetup& part, const ForecastSettings& settings, int threads,
                          Tracker& tracker) {
  const std::vector<std::int32_t>& candidates = part.candidates;
  const std::vector<MemberRun> runs = RunSideBySide(
      candidates.size(), threads,
      [&](std::size_t c, int evaluators, const GenerationHook& hook) {
        const std::int32_t w = candidates[c];
        const std::uint32_t seed = StreamSeed(
            settings.seed, part.streams + kWindowStreams + static_cast<std::uint32_t>(w));
        return RunMember(part.split, w, part.plan.search, seed, part.clip, settings.linearScaling,
                         evaluators, hook);
      },
      tracker.Hook("window search"));
  WindowChoice choice;
  choice.arOrder = part.arOrder;
  for (std::size_t c = 0; c < candidates.size(); ++c) {
    choice.scores.push_back({candidates[c], runs[c].holdoutMse});
  }
  const auto best = std::min_element(
      choice.scores.begin(), choice.scores.end(),
      [](const WindowScore& a, const WindowScore& b) { return a.holdoutMse < b.holdoutMse; });
  choice.window = best->window;
  return choice;
}

// The members a forecast runs: all of them, or the shard's i, i + n, i + 2n, ...
std::vector<std::int32_t> MemberNumbers(const ForecastSettings& settings,
                                        const std::optional<model::Shard>& shard) {
  std::vector<std::int32_t> numbers;
  const std::int32_t step = shard ? shard->count : 1;
  for (std::int32_t n = shard ? shard->index : 1; n <= settings.runs; n += step) {
    numbers.push_back(n);
  }
  return numbers;
}

// The model of the ensemble at window w with its (or the shard's) members numbered and seeded
// but not yet run.
model::Model EnsembleFrame(const ForecastSettings& settings, const PartSetup& part, std::int32_t w,
                           const std::optional<model::Shard>& shard) {
  const WorkPlan& plan = part.plan;
  model::Model m = ProgramModel(w, {}, part.clip);
  m.difference = part.lags;
  m.differenceSeasons = part.seasons;
  m.populations.clear();
  m.seed = settings.seed;
  m.settings = SettingsTexts(settings, plan);
  m.ensemble = model::Ensemble{settings.runs, shard, {}};
  for (std::int32_t number : MemberNumbers(settings, shard)) {
    model::MemberModel member;
    member.number = number;
    member.seed = StreamSeed(settings.seed, part.streams + static_cast<std::uint32_t>(number));
    m.ensemble->members.push_back(std::move(member));
  }
  return m;
}

// Runs the frame's members at its window and stores each one's chosen program and errors.
void RunMembers(const InnerSplit& split, const PanelTexts& panel, bool linearScaling, int threads,
                Tracker& tracker, model::Model& m) {
  const std::int32_t w = m.windowSize;
  std::vector<MemberRun> runs = RunSideBySide(
      m.ensemble->members.size(), threads,
      [&](std::size_t k, int evaluators, const GenerationHook& hook) {
        return RunMember(split, w, panel, m.ensemble->members[k].seed, *m.clip, linearScaling,
                         evaluators, hook);
      },
      tracker.Hook("members"));
  for (std::size_t k = 0; k < runs.size(); ++k) {
    model::MemberModel& member = m.ensemble->members[k];
    MemberRun& run = runs[k];
    run.scaling = RefittedScaling(w, run.program, run.scaling, split.training);
    member.trainingMse = ProgramError(ProgramModel(w, run.program, *m.clip, run.scaling),
                                      split.training, static_cast<std::size_t>(w));
    member.generation = run.generation;
    member.holdoutMse = run.holdoutMse;
    member.program = std::move(run.program);
    member.scaling = run.scaling;
  }
}

std::string ShardText(const model::Shard& shard) {
  return std::to_string(shard.index) + "/" + std::to_string(shard.count);
}

// The part without its members and shard: what every part of one forecast shares.
model::Model Frame(const model::Model& part) {
  model::Model frame = part;
  frame.ensemble->shard.reset();
  frame.ensemble->members.clear();
  return frame;
}

// The training rows differenced at the lags (the rows themselves for none).
std::vector<CellRow> RowsAt(const std::vector<CellRow>& training, const InnerSplit& original,
                            const std::vector<std::int32_t>& lags, std::int32_t seasons) {
  if (lags.empty()) return training;
  return DifferencedRows(training, original.training, lags, seasons);
}

PartSetup SetUpPart(const std::vector<CellRow>& rows, const std::vector<std::int32_t>& lags,
                    std::int32_t seasons, const ForecastSettings& share, std::uint32_t streams) {
  PartSetup part;
  part.lags = lags;
  part.seasons = seasons;
  part.split = SplitTraining(rows);
  const InnerSplit& split = part.split;
  const std::vector<double> inner(
      split.training.begin(),
      split.training.begin() + static_cast<std::ptrdiff_t>(split.innerRows));
  part.arOrder = FitAr(inner).order;
  part.candidates = CandidateWindows(part.arOrder, split.training.size(), lags, seasons);
  part.plan = PlanWork(share, split.innerRows, part.candidates.size());
  part.clip = ClipOfTraining(split.training, share.clipMargin);
  part.streams = streams;
  return part;
}

// The ways the forecast treats the series: differenced at the setting's lags, or at those that
// ChooseDifference picks on the inner hold-out, and for a seasonal series then also with its
// season treated the other way, when that leaves enough values; the parts share the budget.
std::vector<PartSetup> SetUpParts(const std::vector<CellRow>& training,
                                  const ForecastSettings& settings, DifferenceChoice& choice) {
  const InnerSplit original = SplitTraining(training);
  if (settings.difference) {
    choice.lags = *settings.difference;
  } else {
    choice = ChooseDifference(original.training, original.innerRows);
  }
  const std::vector<CellRow> rows = RowsAt(training, original, choice.lags, choice.seasons);
  if (rows.size() < kMinTrainingValues) {
    throw ForecastError("differencing at lags " + DifferenceText(choice.lags) + " leaves " +
                        std::to_string(rows.size()) + " training values; a forecast needs " +
                        std::to_string(kMinTrainingValues));
  }
  std::optional<DifferenceScore> other;
  std::vector<CellRow> otherRows;
  if (settings.combine && !settings.difference) {
    other = OtherSeasonTreatment(choice, original.training, original.innerRows);
    if (other) otherRows = RowsAt(training, original, other->lags, other->seasons);
    if (otherRows.size() < kMinTrainingValues) other.reset();
  }
  ForecastSettings share = settings;
  if (other) share.budgetSeconds /= 2.0;
  std::vector<PartSetup> parts{SetUpPart(rows, choice.lags, choice.seasons, share, 0)};
  if (other)
    parts.push_back(SetUpPart(otherRows, other->lags, other->seasons, share, kPartStreams));
  return parts;
}

// The part's window search and members: one ensemble.
model::Model RunPart(const PartSetup& part, const ForecastSettings& settings,
                     const std::optional<model::Shard>& shard, int threads, Tracker& tracker,
                     WindowChoice& windows) {
  windows = ChooseWindow(part, settings, threads, tracker);
  model::Model m = EnsembleFrame(settings, part, windows.window, shard);
  RunMembers(part.split, part.plan.member, settings.linearScaling, threads, tracker, m);
  return m;
}

// The model whose prediction is the mean of the parts', with the first part's settings.
model::Model Combined(std::vector<model::Model> parts) {
  if (parts.size() == 1) return std::move(parts.front());
  model::Model whole;
  whole.functions = parts.front().functions;
  whole.settings = parts.front().settings;
  whole.seed = parts.front().seed;
  whole.parts = std::move(parts);
  return whole;
}

}  // namespace

Forecast RunForecast(const std::vector<CellRow>& training, const ForecastSettings& settings,
                     int threads, const std::optional<model::Shard>& shard,
                     const ForecastControl& control) {
  Forecast forecast;
  const std::vector<PartSetup> parts = SetUpParts(training, settings, forecast.difference);
  std::size_t total = 0;
  for (const PartSetup& part : parts) {
    total += part.candidates.size() * Generations(part.plan.search) +
             MemberNumbers(settings, shard).size() * Generations(part.plan.member);
  }
  Tracker tracker(control, total);
  std::vector<model::Model> models;
  try {
    for (const PartSetup& part : parts) {
      forecast.partWindows.emplace_back();
      models.push_back(
          RunPart(part, settings, shard, threads, tracker, forecast.partWindows.back()));
    }
  } catch (const RunStopped&) {
    throw ForecastCancelled();
  }
  forecast.windows = forecast.partWindows.front();
  forecast.model = Combined(std::move(models));
  return forecast;
}

namespace {

// The whole ensemble from its shards' parts (MergeParts, for a forecast of one part).
model::Model MergeEnsembles(const std::vector<model::Model>& parts) {
  std::vector<const model::Model*> byShard;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const model::Model& part = parts[i];
    const std::string name = "part " + std::to_string(i + 1);
    if (!part.ensemble || !part.ensemble->shard) {
      throw ForecastError(name + " is not a shard's part of a forecast (no ensemble.shard)");
    }
    if (!(Frame(part) == Frame(parts.front()))) {
      throw ForecastError(name +
                          " comes from a different forecast than part 1 (settings, seed, "
                          "window or clip differ)");
    }
    const model::Shard& shard = *part.ensemble->shard;
    if (shard.count != parts.front().ensemble->shard->count) {
      throw ForecastError(name + " is shard " + ShardText(shard) + ", part 1 is of " +
                          std::to_string(parts.front().ensemble->shard->count) + " shards");
    }
    byShard.resize(static_cast<std::size_t>(shard.count), nullptr);
    const std::size_t slot = static_cast<std::size_t>(shard.index - 1);
    if (byShard[slot])
      throw ForecastError(name + ": shard " + ShardText(shard) + " is given twice");
    byShard[slot] = &part;
  }
  for (std::size_t s = 0; s < byShard.size(); ++s) {
    if (!byShard[s]) {
      throw ForecastError("shard " + std::to_string(s + 1) + "/" + std::to_string(byShard.size()) +
                          " is missing");
    }
  }
  model::Model whole = Frame(parts.front());
  const std::size_t count = byShard.size();
  for (std::int32_t number = 1; number <= whole.ensemble->runs; ++number) {
    const auto n = static_cast<std::size_t>(number - 1);
    whole.ensemble->members.push_back(byShard[n % count]->ensemble->members[n / count]);
  }
  model::ValidateModel(whole);
  return whole;
}

}  // namespace

model::Model MergeParts(const std::vector<model::Model>& parts) {
  if (parts.empty()) throw ForecastError("no parts to merge");
  const std::size_t ways = parts.front().parts.size();
  if (ways == 0) return MergeEnsembles(parts);
  // A combined forecast's shards each hold their members of every way; merged way by way.
  std::vector<model::Model> merged;
  for (std::size_t p = 0; p < ways; ++p) {
    std::vector<model::Model> shards;
    for (std::size_t i = 0; i < parts.size(); ++i) {
      if (parts[i].parts.size() != ways) {
        throw ForecastError("part " + std::to_string(i + 1) +
                            " comes from a different forecast than part 1 (it combines " +
                            std::to_string(parts[i].parts.size()) + " forecasts, part 1 " +
                            std::to_string(ways) + ")");
      }
      shards.push_back(parts[i].parts[p]);
    }
    merged.push_back(MergeEnsembles(shards));
  }
  return Combined(std::move(merged));
}

}  // namespace vobrix::forecast
