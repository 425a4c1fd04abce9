#include "ui/unit5.h"

namespace vobrix::ui {

namespace {
// Series 2i: training fitness of population i + 1 (dotted), 2i + 1: its validation error.
std::vector<SeriesStyle> FitnessWindowSeries() {
  std::vector<SeriesStyle> series;
  for (int i = 0; i < 4; ++i) {
    const QColor colour = PopulationColour(i, true);
    series.push_back({QStringLiteral("Training fitness %1").arg(i + 1), colour, true, true});
    series.push_back({QStringLiteral("Validation fitness %1").arg(i + 1), colour, false, true});
  }
  return series;
}
}  // namespace

TForm5::TForm5()
    : ChartWindow(QStringLiteral("Fitness of Vest Indiv."),
                  new QtChart(FitnessWindowSeries(), QStringLiteral("Generation"),
                              QStringLiteral("Fitness of best indv.")),
                  QSize(595, 360), true),
      Chart2(findChild<QtChart*>()),
      BitBtn1(CloseButton()) {}

}  // namespace vobrix::ui
