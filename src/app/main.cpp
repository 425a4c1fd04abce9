// The desktop program: start-up only. The windows and their handlers live in ui/.
#include "ui/qt_toolkit.h"
#include "ui/unit1.h"

int main(int argc, char** argv) {
  vobrix::ui::VobrixApplication application(argc, argv);
  QCoreApplication::setApplicationName(QString::fromUtf8(vobrix::ui::kApplicationTitle));
  // Creation shows the splash for three seconds and leaves the other windows hidden.
  vobrix::ui::TForm1 form;
  form.show();
  return QApplication::exec();
}
