// What vobrix-cli writes: the CSV rows, the initial-generation dump and the progress bar.
#pragma once

#include <cstdint>
#include <string>

#include "engine/gp_pop.h"
#include "results/prediction_table.h"
#include "run/gp.h"

namespace vobrix::cli {

// The predictions file is written by the code the window's Results menu uses too.
using results::AppendForecastRows;
using results::AppendModelRows;
using results::AppendPredictionRows;
using results::AppendRows;
using results::FormatNumber;
using results::kMaxHorizon;
using results::PredictionsHeader;
using results::Series;

// The text in double quotes, inner quotes doubled.
std::string CsvQuote(const std::string& text);

std::string CsvHeader();
// One row; validation_error is empty when the report has none. Ends with a line break.
std::string CsvRow(const StepReport& report);

// One line per individual of the current buffer in slot order: population (from 1), slot,
// length, rawFitness, genes; single spaces, each line ending with a line break.
std::string DumpGeneration(std::int32_t populationIndex, const Population& population);

// "\r[#####.....] done/total" for a terminal.
std::string ProgressLine(int done, int total);

}  // namespace vobrix::cli
