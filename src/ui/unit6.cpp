#include "ui/unit6.h"

namespace vobrix::ui {

namespace {
// Series 2i: best length of population i + 1 (solid), 2i + 1: its average length (dotted).
std::vector<SeriesStyle> LengthWindowSeries() {
  std::vector<SeriesStyle> series;
  for (int i = 0; i < 4; ++i) {
    const QColor colour = PopulationColour(i, true);
    series.push_back({QStringLiteral("Best indv. %1").arg(i + 1), colour, false, true});
    series.push_back({QStringLiteral("Average %1").arg(i + 1), colour, true, true});
  }
  return series;
}
}  // namespace

TForm6::TForm6()
    : ChartWindow(QStringLiteral("Length of gene"),
                  new QtChart(LengthWindowSeries(), QStringLiteral("Generation"),
                              QStringLiteral("Length of gene")),
                  QSize(594, 415), true),
      Chart3(findChild<QtChart*>()),
      BitBtn1(CloseButton()) {}

}  // namespace vobrix::ui
