// The window's charts with a long series: a run over 200,000 points (199,000 training, 1,000
// validation) fills the prediction chart with the data and the predictions, then the pages are
// switched back and forth and Stop and Resume are pressed during a second run. Prints how long
// each tab switch took until the new page was painted, and how late Stop and Resume were
// handled. Run under a real display (Xvfb) or with QT_QPA_PLATFORM=offscreen:
//
//   build/bench/chart_bench [points]
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTabWidget>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

#include "problem/textconv.h"
#include "run/grid_rows.h"
#include "ui/unit1.h"

namespace {

using vobrix::ui::TForm1;

// No splash wait; a message would spoil the figures.
class BenchSeam : public vobrix::ui::Seam {
 public:
  void Wait(int) override {}
  void MessageBox(QWidget*, const QString& text) override {
    qFatal("unexpected message: %s", qPrintable(text));
  }
};

void Fill(TForm1& form, int points) {
  const int validationRows = 1000;
  std::vector<vobrix::CellRow> training, validation;
  for (int i = 0; i < points; ++i) {
    const double y = 10.0 + 3.0 * std::sin(0.01 * i) + 0.5 * std::sin(0.37 * i);
    vobrix::CellRow row{std::to_string(i), vobrix::FormatGeneral(y, 8)};
    (i < points - validationRows ? training : validation).push_back(std::move(row));
  }
  vobrix::FillGrid(*form.StringGrid1, training);
  vobrix::FillGrid(*form.StringGrid3, validation);
}

void SetRun(TForm1& form, int size, int generations) {
  form.ComboBox1->setCurrentText(QStringLiteral("1"));
  form.Panel(0).populationSize->setText(QString::number(size));
  form.Panel(0).generation->setText(QString::number(generations));
}

void Report(const char* what, std::vector<double> ms) {
  std::sort(ms.begin(), ms.end());
  std::printf("%-34s median %7.1f ms  max %7.1f ms  (%zu)\n", what, ms[ms.size() / 2], ms.back(),
              ms.size());
}

}  // namespace

int main(int argc, char** argv) {
  vobrix::ui::VobrixApplication app(argc, argv);
  BenchSeam seam;
  vobrix::ui::SetSeam(&seam);
  const int points = argc > 1 ? std::max(std::atoi(argv[1]), 2000) : 200'000;
  TForm1 form;
  form.seedSource = [] { return 7u; };
  form.resize(1024, 720);
  form.show();
  Fill(form, points);

  QElapsedTimer clock;
  SetRun(form, 4, 2);
  clock.start();
  form.BitBtn2Click();
  std::printf("%d points: a run of 2 generations took %.0f ms\n", points,
              static_cast<double>(clock.elapsed()));

  // Page switches: the results page holds the prediction chart with every series.
  std::vector<double> toResults, toProblem;
  for (int i = 0; i < 10; ++i) {
    for (int page : {0, 2}) {
      clock.restart();
      form.PageControl1->setCurrentIndex(page);
      QCoreApplication::processEvents();
      form.repaint();
      (page == 2 ? toResults : toProblem)
          .push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    }
  }
  Report("tab switch to Results", toResults);
  Report("tab switch to Problem", toProblem);

  // Stop and Resume during a run: how long after the press the run handles it. A press is a
  // timer that fires when the run lets window events through.
  std::vector<double> stopLate, resumeLate;
  SetRun(form, 4, 40);
  form.PageControl1->setCurrentIndex(2);
  std::function<void(int)> press = [&](int left) {
    if (left == 0) return;
    const auto due = std::make_shared<QElapsedTimer>();
    due->start();
    const int after = 150;
    QTimer::singleShot(after, &form, [&, due, left, after] {
      const bool stopping = form.BitBtn1->text() == QStringLiteral("Stop");
      (stopping ? stopLate : resumeLate).push_back(static_cast<double>(due->elapsed() - after));
      form.BitBtn1->click();
      press(left - 1);
    });
  };
  QTimer::singleShot(0, &form, [&] { press(10); });
  clock.restart();
  form.BitBtn2Click();
  std::printf("a run of 40 generations with 5 Stop and 5 Resume presses took %.0f ms\n",
              static_cast<double>(clock.elapsed()));
  if (!stopLate.empty()) Report("Stop handled late by", stopLate);
  if (!resumeLate.empty()) Report("Resume handled late by", resumeLate);
  vobrix::ui::SetSeam(nullptr);
  return 0;
}
