#include "ui/unit4.h"

namespace vobrix::ui {

namespace {
// Series 0: the data; 1 to 4: training predictions; 5 to 8: validation predictions.
std::vector<SeriesStyle> PredictionWindowSeries() {
  std::vector<SeriesStyle> series{{QStringLiteral("data"), kBlack, false, true}};
  for (int i = 0; i < 4; ++i) {
    series.push_back({QStringLiteral("Training"), PopulationColour(i, true), false, true});
  }
  for (int i = 0; i < 4; ++i) {
    series.push_back({QStringLiteral("Prediction"), PopulationColour(i, true), true, true});
  }
  return series;
}
}  // namespace

TForm4::TForm4()
    : ChartWindow(QStringLiteral("Traning&Prediction data"),
                  new QtChart(PredictionWindowSeries(), QString(), QString()), QSize(672, 459),
                  false),
      Chart1(findChild<QtChart*>()),
      BitBtn1(CloseButton()) {}

}  // namespace vobrix::ui
