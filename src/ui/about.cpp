#include "ui/about.h"

#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <cmath>

namespace vobrix::ui {

QPixmap DrawLogo(QSize size) {
  QPixmap logo(size);
  QPainter painter(&logo);
  painter.setRenderHint(QPainter::Antialiasing);
  QLinearGradient sky(0, 0, size.width(), size.height());
  sky.setColorAt(0.0, QColor(16, 48, 112));
  sky.setColorAt(1.0, QColor(40, 120, 200));
  painter.fillRect(logo.rect(), sky);
  // A noisy series and the smooth curve that predicts it.
  QPainterPath data;
  QPainterPath fit;
  const double w = size.width();
  const double h = size.height();
  for (int i = 0; i <= 40; ++i) {
    const double x = w * i / 40.0;
    const double smooth = h * 0.62 - h * 0.22 * std::sin(i * 0.32);
    const double y = smooth + ((i * 7919) % 13 - 6) * h * 0.012;
    if (i == 0) {
      data.moveTo(x, y);
      fit.moveTo(x, smooth);
    } else {
      data.lineTo(x, y);
      fit.lineTo(x, smooth);
    }
  }
  painter.setPen(QPen(QColor(255, 255, 255, 150), 1.5));
  painter.drawPath(data);
  painter.setPen(QPen(QColor(255, 210, 60), 2.5, Qt::DashLine));
  painter.drawPath(fit);
  QFont font(QStringLiteral("Sans Serif"));
  font.setBold(true);
  font.setPixelSize(static_cast<int>(h * 0.42));
  painter.setFont(font);
  painter.setPen(Qt::white);
  painter.drawText(logo.rect().adjusted(8, 4, -8, -4), Qt::AlignLeft | Qt::AlignTop,
                   QStringLiteral("VOBRIX"));
  font.setBold(false);
  font.setPixelSize(static_cast<int>(h * 0.14));
  painter.setFont(font);
  painter.drawText(logo.rect().adjusted(8, 4, -8, -4), Qt::AlignRight | Qt::AlignBottom,
                   QStringLiteral("genetic programming"));
  return logo;
}

TAboutBox::TAboutBox()
    : QDialog(nullptr, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint),
      Panel1(new QFrame(this)),
      ProgramIcon(new QLabel(Panel1)),
      ProductName(new QLabel(QStringLiteral("Vobrix"), Panel1)),
      Version(new QLabel(QStringLiteral("Version 1.0"), Panel1)),
      Copyright(new QLabel(QStringLiteral("Copyright (C) The Vobrix developers"), Panel1)),
      OKButton(new QPushButton(QStringLiteral("OK"), this)) {
  setWindowTitle(QStringLiteral("Vobrix1.0"));
  setAttribute(Qt::WA_QuitOnClose, false);
  setFixedSize(298, 213);

  Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  Panel1->setLineWidth(2);
  Panel1->setAutoFillBackground(true);
  QPalette white = Panel1->palette();
  white.setColor(QPalette::Window, Qt::white);
  Panel1->setPalette(white);
  ProgramIcon->setPixmap(DrawLogo(QSize(225, 81)));
  ProgramIcon->setFixedSize(225, 81);
  QFont big = ProductName->font();
  big.setBold(true);
  big.setPointSize(big.pointSize() + 2);
  ProductName->setFont(big);

  auto* panelLayout = new QVBoxLayout(Panel1);
  panelLayout->setContentsMargins(8, 8, 8, 8);
  panelLayout->setSpacing(2);
  panelLayout->addWidget(ProgramIcon, 0, Qt::AlignHCenter);
  panelLayout->addWidget(ProductName);
  panelLayout->addWidget(Version);
  panelLayout->addWidget(Copyright);
  panelLayout->addStretch(1);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 8, 8, 8);
  layout->addWidget(Panel1, 1);
  auto* buttons = new QHBoxLayout();
  buttons->addStretch(1);
  buttons->addWidget(OKButton);
  buttons->addStretch(1);
  layout->addLayout(buttons);

  OKButton->setDefault(true);
  connect(OKButton, &QPushButton::clicked, this, &TAboutBox::OKButtonClick);

  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
}

void TAboutBox::OKButtonClick() {
  hide();
  if (mainWindow_) {
    mainWindow_->show();
    mainWindow_->raise();
    mainWindow_->activateWindow();
  }
}

}  // namespace vobrix::ui
