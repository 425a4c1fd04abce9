#include "forecast/plan.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "model/difference.h"

namespace vobrix::forecast {

namespace {

// Row evaluations (one program on one training row, breeding included) per second and core on
// the development machine, with room to spare, and the cores the budget assumes.
constexpr double kRowsPerSecond = 4.0e7;
constexpr double kCores = 2.0;
constexpr double kSearchShare = 0.25;

// A member's population starts at 500 and grows, up to 2,000, while the work still gives it
// the most generations: on short series the hold-out choice then picks among better programs
// (bench/quality), while long series keep the generations they need.
constexpr std::int32_t kMemberPopulation = 500;
constexpr std::int32_t kLargestMemberPopulation = 2000;
constexpr std::int32_t kMemberGenerations = 500;
constexpr std::int32_t kSearchPopulation = 300;
constexpr std::int32_t kTournamentSize = 4;

std::string GenerationsFor(double work, std::int32_t population, std::size_t targets,
                           std::int32_t low, std::int32_t high) {
  const double generations = std::floor(work / (population * static_cast<double>(targets)));
  return std::to_string(static_cast<std::int32_t>(std::clamp<double>(generations, low, high)));
}

std::int32_t MemberPopulation(double work, std::size_t targets) {
  const double population = std::floor(work / (kMemberGenerations * static_cast<double>(targets)));
  return static_cast<std::int32_t>(
      std::clamp<double>(population, kMemberPopulation, kLargestMemberPopulation));
}

PanelTexts Panel(std::int32_t population, std::string generations) {
  PanelTexts panel;
  panel.populationSize = std::to_string(population);
  panel.generations = std::move(generations);
  panel.selectionIndex = 1;  // tournament
  panel.tournamentSize = std::to_string(kTournamentSize);
  return panel;
}

}  // namespace

std::uint32_t StreamSeed(std::uint32_t seed, std::uint32_t stream) {
  std::uint64_t z = ((static_cast<std::uint64_t>(seed) << 32) | stream) + 0x9E3779B97F4A7C15ull;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return static_cast<std::uint32_t>(z ^ (z >> 31));
}

model::Clip ClipOfTraining(const std::vector<double>& training, double margin) {
  const auto [low, high] = std::minmax_element(training.begin(), training.end());
  const double width = margin * (*high - *low);
  return {*low - width, *high + width};
}

std::vector<std::int32_t> CandidateWindows(std::int32_t arOrder, std::size_t trainingValues,
                                           const std::vector<std::int32_t>& differenceLags,
                                           std::int32_t differenceSeasons) {
  const auto largest =
      static_cast<std::int32_t>(std::min<std::size_t>(kMaxWindow, trainingValues / 5));
  std::vector<std::int32_t> windows{1, 2, 3};
  const std::int32_t p = std::clamp(arOrder, 1, largest);
  for (std::int32_t w : {p - 1, p, p + 1}) windows.push_back(std::clamp(w, 1, largest));
  // A mean of seasons passes on little of one season's noise, so its differences need not be
  // seen at lag s; measured, the windows of an undifferenced series did better there.
  const std::int32_t season =
      differenceLags.empty() || differenceSeasons > 1 ? 0 : differenceLags.back();
  if (season > 1) windows.insert(windows.end(), {season, season + 1});
  for (std::int32_t& w : windows) w = std::min(w, largest);
  if (season > 1) {
    const std::int32_t shortest = std::min(season, largest);
    std::erase_if(windows, [shortest](std::int32_t w) { return w < shortest; });
  }
  std::sort(windows.begin(), windows.end());
  windows.erase(std::unique(windows.begin(), windows.end()), windows.end());
  return windows;
}

WorkPlan PlanWork(const ForecastSettings& settings, std::size_t innerTargets,
                  std::size_t candidates) {
  const double work = settings.budgetSeconds * kRowsPerSecond * kCores;
  const double perMember = (1.0 - kSearchShare) * work / settings.runs;
  const double perCandidate = kSearchShare * work / static_cast<double>(candidates);
  const std::int32_t population = MemberPopulation(perMember, innerTargets);
  return {Panel(population,
                GenerationsFor(perMember, population, innerTargets, 10, kMemberGenerations)),
          Panel(kSearchPopulation,
                GenerationsFor(perCandidate, kSearchPopulation, innerTargets, 5, 200))};
}

ProblemSettings ProblemAt(std::int32_t window) {
  ProblemSettings problem;
  problem.windowSizeText = std::to_string(window);
  return problem;
}

std::string DifferenceText(const std::optional<std::vector<std::int32_t>>& difference) {
  if (!difference) return "auto";
  if (difference->empty()) return "none";
  std::string text;
  for (std::int32_t lag : *difference)
    text.append(text.empty() ? "" : ",").append(std::to_string(lag));
  return text;
}

std::optional<std::vector<std::int32_t>> ReadDifferenceText(const std::string& text) {
  if (text == "auto") return std::nullopt;
  if (text == "none") return std::vector<std::int32_t>{};
  const std::invalid_argument refusal(
      "is not auto, none or up to " + std::to_string(model::kMaxDifferenceLags) +
      " ascending lags from 1 to " + std::to_string(model::kMaxDifferenceLag) +
      " joined by commas");
  std::vector<std::int32_t> lags;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t comma = std::min(text.find(',', start), text.size());
    const std::string part = text.substr(start, comma - start);
    if (part.empty() || part.size() > 4 || part.find_first_not_of("0123456789") != part.npos) {
      throw refusal;
    }
    const auto lag = static_cast<std::int32_t>(std::stoi(part));
    if (lag < 1 || lag > model::kMaxDifferenceLag || (!lags.empty() && lag <= lags.back()) ||
        lags.size() == model::kMaxDifferenceLags) {
      throw refusal;
    }
    lags.push_back(lag);
    start = comma + 1;
  }
  return lags;
}

std::map<std::string, std::string> SettingsTexts(const ForecastSettings& settings,
                                                 const WorkPlan& plan) {
  const ProblemSettings problem = ProblemAt(1);
  std::string functions;
  for (int f = 0; f < kFunctionTableSize; ++f) {
    if (!problem.ticked[static_cast<std::size_t>(f)]) continue;
    if (!functions.empty()) functions.push_back(',');
    functions.append(model::Primitives()[f].symbol);
  }
  std::map<std::string, std::string> texts{
      {"--runs", std::to_string(settings.runs)},
      {"--budget", model::ExactText(settings.budgetSeconds)},
      {"--clip-margin", model::ExactText(settings.clipMargin)},
      {"--difference", DifferenceText(settings.difference)},
      {"--constants", problem.constantCountText},
      {"--range", std::string(problem.lowerText).append(" ").append(problem.upperText)},
      {"--functions", functions},
      {"--pop-size", plan.member.populationSize},
      {"--generations", plan.member.generations},
      {"--selection", "tournament"},
      {"--tournament-size", plan.member.tournamentSize},
      {"--search-pop-size", plan.search.populationSize},
      {"--search-generations", plan.search.generations}};
  if (settings.linearScaling) texts["--linear-scaling"] = "";
  if (!settings.combine) texts["--no-combine"] = "";
  return texts;
}

}  // namespace vobrix::forecast
