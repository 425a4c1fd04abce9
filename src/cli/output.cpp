#include "cli/output.h"

#include <cmath>
#include <cstdio>

namespace vobrix::cli {

std::string CsvQuote(const std::string& text) {
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string CsvHeader() {
  return "generation,population,best_fitness,validation_error,average_length,best_length,"
         "best_program\n";
}

std::string CsvRow(const StepReport& report) {
  std::string row = std::to_string(report.generation);
  row += ',';
  row += std::to_string(report.population + 1);
  row += ',';
  row += FormatNumber(report.bestFitness);
  row += ',';
  if (report.validationError) row += FormatNumber(*report.validationError);
  row += ',';
  row += FormatNumber(report.averageLength);
  row += ',';
  row += std::to_string(report.bestLength);
  row += ',';
  row += CsvQuote(report.bestProgram);
  row += '\n';
  return row;
}

std::string DumpGeneration(std::int32_t populationIndex, const Population& population) {
  std::string text;
  Individual* const* slots = population.Current();
  for (std::int32_t slot = 0; slot < population.params.populationSize; ++slot) {
    const Individual& individual = *slots[slot];
    text += std::to_string(populationIndex + 1);
    text += ' ';
    text += std::to_string(slot);
    text += ' ';
    text += std::to_string(individual.length);
    text += ' ';
    text += FormatNumber(individual.rawFitness);
    for (std::int32_t k = 0; k < individual.length; ++k) {
      text += ' ';
      text += std::to_string(individual.genes[k]);
    }
    text += '\n';
  }
  return text;
}

std::string ProgressLine(int done, int total) {
  constexpr int kWidth = 40;
  const int filled =
      total > 0 ? static_cast<int>(static_cast<long long>(done) * kWidth / total) : kWidth;
  std::string line = "\r[";
  line.append(static_cast<std::size_t>(filled), '#');
  line.append(static_cast<std::size_t>(kWidth - filled), '.');
  line += "] ";
  line += std::to_string(done);
  line += '/';
  line += std::to_string(total);
  return line;
}

}  // namespace vobrix::cli
