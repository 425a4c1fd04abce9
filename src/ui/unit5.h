// The large copy of the fitness chart.
#pragma once

#include "ui/qt_toolkit.h"

namespace vobrix::ui {

class TForm5 : public ChartWindow {
  Q_OBJECT
 public:
  TForm5();
  QtChart* Chart2;
  QPushButton* BitBtn1;
};

}  // namespace vobrix::ui
