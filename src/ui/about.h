// The About box, which is also the splash screen at start-up.
#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

namespace vobrix::ui {

class TAboutBox : public QDialog {
  Q_OBJECT
 public:
  TAboutBox();
  // The window that "OK" shows and brings to the front.
  void SetMainWindow(QWidget* mainWindow) { mainWindow_ = mainWindow; }
  void OKButtonClick();

  QFrame* Panel1;
  QLabel* ProgramIcon;
  QLabel* ProductName;
  QLabel* Version;
  QLabel* Copyright;
  QPushButton* OKButton;

 private:
  QWidget* mainWindow_ = nullptr;
};

// The program's logo, drawn rather than loaded so that the program needs no files.
QPixmap DrawLogo(QSize size);

}  // namespace vobrix::ui
