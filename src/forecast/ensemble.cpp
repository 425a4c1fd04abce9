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

WindowChoice ChooseWindow(const InnerSplit& split, const std::vector<std::int32_t>& candidates,
                          const PanelTexts& panel, const ForecastSettings& settings,
                          const model::Clip& clip, int threads, Tracker& tracker) {
  const std::vector<MemberRun> runs = RunSideBySide(
      candidates.size(), threads,
      [&](std::size_t c, int evaluators, const GenerationHook& hook) {
        const std::int32_t w = candidates[c];
        const std::uint32_t seed =
            StreamSeed(settings.seed, kWindowStreams + static_cast<std::uint32_t>(w));
        return RunMember(split, w, panel, seed, clip, settings.linearScaling, evaluators, hook);
      },
      tracker.Hook("window search"));
  WindowChoice choice;
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
model::Model EnsembleFrame(const ForecastSettings& settings, const WorkPlan& plan, std::int32_t w,
                           const model::Clip& clip, const std::optional<model::Shard>& shard) {
  model::Model m = ProgramModel(w, {}, clip);
  m.populations.clear();
  m.seed = settings.seed;
  m.settings = SettingsTexts(settings, plan);
  m.ensemble = model::Ensemble{settings.runs, shard, {}};
  for (std::int32_t number : MemberNumbers(settings, shard)) {
    model::MemberModel member;
    member.number = number;
    member.seed = StreamSeed(settings.seed, static_cast<std::uint32_t>(number));
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

// The training rows the runs learn on: differenced at the setting's lags, or at those that
// ChooseDifference picks on the inner hold-out.
std::vector<CellRow> DifferencedTraining(const std::vector<CellRow>& training,
                                         const ForecastSettings& settings,
                                         DifferenceChoice& choice) {
  const InnerSplit original = SplitTraining(training);
  if (settings.difference) {
    choice.lags = *settings.difference;
  } else {
    choice = ChooseDifference(original.training, original.innerRows);
  }
  if (choice.lags.empty()) return training;
  std::vector<CellRow> rows =
      DifferencedRows(training, original.training, choice.lags, choice.seasons);
  if (rows.size() < kMinTrainingValues) {
    throw ForecastError("differencing at lags " + DifferenceText(choice.lags) + " leaves " +
                        std::to_string(rows.size()) + " training values; a forecast needs " +
                        std::to_string(kMinTrainingValues));
  }
  return rows;
}

}  // namespace

Forecast RunForecast(const std::vector<CellRow>& training, const ForecastSettings& settings,
                     int threads, const std::optional<model::Shard>& shard,
                     const ForecastControl& control) {
  DifferenceChoice difference;
  const std::vector<CellRow> rows = DifferencedTraining(training, settings, difference);
  const InnerSplit split = SplitTraining(rows);
  const std::vector<double> inner(
      split.training.begin(),
      split.training.begin() + static_cast<std::ptrdiff_t>(split.innerRows));
  const std::int32_t arOrder = FitAr(inner).order;
  const std::vector<std::int32_t> candidates =
      CandidateWindows(arOrder, split.training.size(), difference.lags, difference.seasons);
  const WorkPlan plan = PlanWork(settings, split.innerRows, candidates.size());
  const model::Clip clip = ClipOfTraining(split.training, settings.clipMargin);
  Tracker tracker(control, candidates.size() * Generations(plan.search) +
                               MemberNumbers(settings, shard).size() * Generations(plan.member));

  Forecast forecast;
  try {
    forecast.windows =
        ChooseWindow(split, candidates, plan.search, settings, clip, threads, tracker);
    forecast.windows.arOrder = arOrder;
    forecast.model = EnsembleFrame(settings, plan, forecast.windows.window, clip, shard);
    forecast.model.difference = difference.lags;
    forecast.model.differenceSeasons = difference.seasons;
    forecast.difference = std::move(difference);
    RunMembers(split, plan.member, settings.linearScaling, threads, tracker, forecast.model);
  } catch (const RunStopped&) {
    throw ForecastCancelled();
  }
  return forecast;
}

model::Model MergeParts(const std::vector<model::Model>& parts) {
  if (parts.empty()) throw ForecastError("no parts to merge");
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

}  // namespace vobrix::forecast
