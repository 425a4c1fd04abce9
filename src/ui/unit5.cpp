#include "ui/unit5.h"

namespace vobrix::ui {

TForm5::TForm5()
    : ChartWindow(
          QStringLiteral("Fitness of Vest Indiv."),
          new QtChart(PopulationPairs(QStringLiteral("Training fitness %1"),
                                      QStringLiteral("Validation fitness %1"), true, true),
                      QStringLiteral("Generation"), QStringLiteral("Fitness of best indv.")),
          QSize(595, 360), true),
      Chart2(findChild<QtChart*>()),
      BitBtn1(CloseButton()) {}

}  // namespace vobrix::ui
