// What a new user needs to find data: the sample series that come with the program, and the
// messages that say why a data file or the training grid cannot be used.
#pragma once

#include <QString>

namespace vobrix {
class DataFileError;
namespace toolkit {
class Grid;
}
}  // namespace vobrix

namespace vobrix::ui {

// The folder of the sample series (data/ of the sources, or beside the installed program):
// the first of the working directory's data/, and data/ in the program's folder or one of
// the three above it, that holds them. Empty when none does.
QString SampleDataFolder();

// The hint on the problem page while no data are loaded; names `folder` when there is one.
QString DataHintText(const QString& folder);

// The message of a failed load: the window's sentence for bad data, then the line and what
// it holds; the cause for a file that cannot be opened or read.
QString LoadFailureMessage(const DataFileError& error);

// Start with a training cell that is not a number: the window's sentence, then the first such
// cell by row (from 1) and column.
QString InvalidTrainingMessage(const toolkit::Grid& grid);

// Start with an empty training grid.
inline constexpr const char* kNoTrainingData =
    "There are no training data. Load them on the \"Problem Configration\" page: press "
    "\"Load\" under \"Training Data\" (or File, Load training data, Ctrl+T).";

}  // namespace vobrix::ui
