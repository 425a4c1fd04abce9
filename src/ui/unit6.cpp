#include "ui/unit6.h"

namespace vobrix::ui {

TForm6::TForm6()
    : ChartWindow(QStringLiteral("Length of gene"),
                  new QtChart(PopulationPairs(QStringLiteral("Best indv. %1"),
                                              QStringLiteral("Average %1"), false, true),
                              QStringLiteral("Generation"), QStringLiteral("Length of gene")),
                  QSize(594, 415), true),
      Chart3(findChild<QtChart*>()),
      BitBtn1(CloseButton()) {}

}  // namespace vobrix::ui
