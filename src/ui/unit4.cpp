#include "ui/unit4.h"

namespace vobrix::ui {

TForm4::TForm4()
    : ChartWindow(QStringLiteral("Traning&Prediction data"),
                  new QtChart(PredictionSeries(true), QString(), QString()), QSize(672, 459),
                  false),
      Chart1(findChild<QtChart*>()),
      BitBtn1(CloseButton()) {}

}  // namespace vobrix::ui
