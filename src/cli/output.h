// What vobrix-cli writes: the CSV rows, the initial-generation dump and the progress bar.
#pragma once

#include <cstdint>
#include <string>

#include "engine/gp_pop.h"
#include "run/gp.h"

namespace vobrix::cli {

// A number as C's "%.17g" writes it, with the non-finite values spelled "inf", "-inf" and
// "nan" on every platform (never "-nan").
std::string FormatNumber(double value);

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
