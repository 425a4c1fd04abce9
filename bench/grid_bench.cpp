// Long series in the main window: loading a data file of 100,000 lines into the training grid
// and painting it, Normalization and Reset over it, and scrolling from top to bottom. Run
// under a real display (Xvfb) or with QT_QPA_PLATFORM=offscreen.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QScrollBar>
#include <QTemporaryDir>
#include <cmath>
#include <optional>

#include "ui/unit1.h"

namespace {

using vobrix::ui::TForm1;

// No splash wait, and the dialog "chooses" the prepared file.
class BenchSeam : public vobrix::ui::Seam {
 public:
  QString file;
  void Wait(int) override {}
  void MessageBox(QWidget*, const QString& text) override {
    qFatal("unexpected message: %s", qPrintable(text));
  }
  std::optional<QString> OpenFileName(QWidget*, const QString&) override { return file; }
};

BenchSeam& benchSeam() {
  static BenchSeam seam;
  return seam;
}

QString LongSeries(const QTemporaryDir& dir, int lines) {
  const QString path = dir.filePath(QStringLiteral("long.txt"));
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly)) qFatal("cannot write %s", qPrintable(path));
  for (int i = 0; i < lines; ++i) {
    file.write(QByteArray::number(i) + '\t' +
               QByteArray::number(std::sin(i * 0.01) * 1000.0, 'g', 9) + '\n');
  }
  return path;
}

struct Window {
  Window() {
    form.show();
    QApplication::processEvents();
  }
  void Paint() {
    form.StringGrid1->viewport()->repaint();
    QApplication::processEvents();
  }
  TForm1 form;
};

void BM_LoadAndShow(benchmark::State& state) {
  QTemporaryDir dir;
  benchSeam().file = LongSeries(dir, static_cast<int>(state.range(0)));
  Window w;
  for (auto _ : state) {
    // Every load starts from the form's 100 rows, as the first load of a session does.
    state.PauseTiming();
    w.form.StringGrid1->SetRowCount(100);
    w.Paint();
    state.ResumeTiming();
    w.form.BitBtn3Click();
    w.Paint();
  }
  if (w.form.StringGrid1->RowCount() != state.range(0)) state.SkipWithError("rows not loaded");
}
BENCHMARK(BM_LoadAndShow)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_NormalizeAndReset(benchmark::State& state) {
  QTemporaryDir dir;
  benchSeam().file = LongSeries(dir, static_cast<int>(state.range(0)));
  Window w;
  w.form.BitBtn3Click();
  for (auto _ : state) {
    w.form.Button2Click();
    w.Paint();
    w.form.Button3Click();
    w.Paint();
  }
}
BENCHMARK(BM_NormalizeAndReset)->Arg(100000)->Unit(benchmark::kMillisecond);

// One page step at a time would take thousands of repaints; ten jumps over the whole range
// with a repaint each show whether a scroll position far down costs more than the top.
void BM_ScrollThrough(benchmark::State& state) {
  QTemporaryDir dir;
  benchSeam().file = LongSeries(dir, static_cast<int>(state.range(0)));
  Window w;
  w.form.BitBtn3Click();
  QScrollBar* bar = w.form.StringGrid1->verticalScrollBar();
  for (auto _ : state) {
    for (int step = 0; step <= 10; ++step) {
      bar->setValue(bar->maximum() / 10 * step);
      w.Paint();
    }
  }
}
BENCHMARK(BM_ScrollThrough)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  vobrix::ui::SetSeam(&benchSeam());
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  vobrix::ui::SetSeam(nullptr);
  return 0;
}
