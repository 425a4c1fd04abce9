// The large copy of the training and prediction chart.
#pragma once

#include "ui/qt_toolkit.h"

namespace vobrix::ui {

class TForm4 : public ChartWindow {
  Q_OBJECT
 public:
  TForm4();
  QtChart* Chart1;
  QPushButton* BitBtn1;
};

}  // namespace vobrix::ui
