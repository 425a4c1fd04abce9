// The large copy of the gene-length chart.
#pragma once

#include "ui/qt_toolkit.h"

namespace vobrix::ui {

class TForm6 : public ChartWindow {
  Q_OBJECT
 public:
  TForm6();
  QtChart* Chart3;
  QPushButton* BitBtn1;
};

}  // namespace vobrix::ui
