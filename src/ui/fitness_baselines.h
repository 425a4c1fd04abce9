// The strip under the fitness chart: the log-scale switch, the persistence and AR(p) errors of
// the validation data (also drawn as reference lines on the fitness charts) and how many times
// better than persistence each population's best program predicts the validation data.
#pragma once

#include <QWidget>
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "ui/qt_toolkit.h"

class QCheckBox;

namespace vobrix {
struct RunSession;
}

namespace vobrix::ui {

// The baselines' errors on the validation rows of a series whose first trainingRows values are
// the training data: persistence, and the AR(p) fitted on the training part (nothing when it
// cannot be fitted), each predicting the validation values from the whole series before them.
struct BaselineErrors {
  double persistence = 0.0;
  std::optional<double> ar;
  int arOrder = 0;
};
std::optional<BaselineErrors> ValidationBaselines(const std::vector<double>& series,
                                                  std::size_t trainingRows);

// "3.2 times better than persistence" ("worse" below 1); empty for an error that is not
// finite or not positive.
std::string TimesBetter(double persistence, double error);

class FitnessBaselines : public QWidget {
  Q_OBJECT
 public:
  // Lays out `chart` with the strip under it.
  explicit FitnessBaselines(QtChart* chart, QWidget* parent = nullptr);
  // Another fitness chart (the large window's) that follows the log scale and gets the
  // reference lines too.
  void AddChart(QtChart* chart);
  // Shows, step by step, how the run's populations compare with persistence.
  void Follow(RunSession& session);

  // Before a run: the baselines of the grids' series (nothing when they cannot be scored).
  void SetBaselines(const std::optional<BaselineErrors>& errors);
  // A population's best program's validation error at its latest step.
  void ShowBest(int population, double validationError);
  void ClearBest();

  QCheckBox* LogScaleBox() const { return logScale_; }
  QLabel* BaselineLabel() const { return baselines_; }
  QLabel* BestLabel(int population) const { return best_.at(static_cast<std::size_t>(population)); }

 private:
  std::vector<ReferenceLine> References(bool inLegend) const;

  std::vector<QtChart*> charts_;  // the strip's own first
  QCheckBox* logScale_;
  QLabel* baselines_;
  std::array<QLabel*, 4> best_{};
  std::optional<BaselineErrors> errors_;
};

}  // namespace vobrix::ui
