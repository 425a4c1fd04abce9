// Long series in the main window: loading a data file of 100,000 lines into the training grid
// and painting it, Normalization and Reset over it, scrolling from top to bottom, and the
// results page with an output grid of 200,000 rows. Run under a real display (Xvfb) or with
// QT_QPA_PLATFORM=offscreen.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QScrollBar>
#include <QTemporaryDir>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

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

// The output grid as four populations leave it over a long series: five columns of 15-digit
// texts.
void FillOutputGrid(TForm1& form, int rows) {
  form.StringGrid5->SetRowCount(rows);
  form.StringGrid5->SetDefaultColWidth(36);
  form.StringGrid5->SetColCount(5);
  for (int col = 0; col < 5; ++col) {
    std::vector<std::string> texts(static_cast<std::size_t>(rows));
    for (int row = 0; row < rows; ++row) {
      texts[static_cast<std::size_t>(row)] =
          col == 0 ? std::to_string(row)
                   : QByteArray::number(std::sin(row * 0.01 + col) * 0.75, 'g', 15).toStdString();
    }
    form.StringGrid5->SetColumn(col, 0, texts);
  }
  QApplication::processEvents();
}

// A turn to the results page and back, each painted, with a long output grid there (the
// charts are empty: their cost is measured with the charts).
void BM_ResultsPageTurn(benchmark::State& state) {
  Window w;
  FillOutputGrid(w.form, static_cast<int>(state.range(0)));
  for (auto _ : state) {
    w.form.PageControl1->setCurrentWidget(w.form.TabSheet4);
    w.form.repaint();
    QApplication::processEvents();
    w.form.PageControl1->setCurrentWidget(w.form.TabSheet1);
    w.form.repaint();
    QApplication::processEvents();
  }
}
BENCHMARK(BM_ResultsPageTurn)->Arg(200000)->Unit(benchmark::kMillisecond);

// A population's new predictions written over a long output grid: the column is measured
// again for its width.
void BM_RefitOutputColumn(benchmark::State& state) {
  Window w;
  const int rows = static_cast<int>(state.range(0));
  FillOutputGrid(w.form, rows);
  const std::vector<std::string> texts(static_cast<std::size_t>(rows), "0.123456789012345");
  for (auto _ : state) {
    state.PauseTiming();
    w.form.StringGrid5->SetColumn(2, 0, texts);
    state.ResumeTiming();
    QApplication::processEvents();  // the fit
  }
}
BENCHMARK(BM_RefitOutputColumn)->Arg(200000)->Unit(benchmark::kMillisecond);

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
