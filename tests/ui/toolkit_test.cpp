// The Qt side of the window operations: grids, charts, labels, buttons, boxes.
#include <gtest/gtest.h>

#include <QChart>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <cmath>
#include <limits>

#include "fake_seam.h"
#include "ui/qt_toolkit.h"

namespace vobrix::ui {
namespace {

using testing::fakeSeam;

TEST(QtGridTest, RowsNeverBelowOneAndCellsBeyondReadEmpty) {
  QtGrid grid(2, 100, 24, true);
  EXPECT_EQ(grid.RowCount(), 100);
  EXPECT_EQ(grid.ColCount(), 2);
  grid.SetCell(1, 99, "7.5");
  EXPECT_EQ(grid.Cell(1, 99), "7.5");
  EXPECT_EQ(grid.Cell(1, 100), "");
  EXPECT_EQ(grid.Cell(2, 0), "");
  EXPECT_EQ(grid.Cell(-1, 0), "");
  grid.SetCell(1, 100, "lost");  // beyond the rows: ignored, nothing grows
  EXPECT_EQ(grid.RowCount(), 100);

  grid.SetRowCount(0);
  EXPECT_EQ(grid.RowCount(), 1);
  EXPECT_EQ(grid.model()->rowCount(), 1);
  grid.SetRowCount(3);
  EXPECT_EQ(grid.Cell(1, 2), "");  // the shrunk rows do not come back
  EXPECT_EQ(grid.model()->rowCount(), 3);
}

TEST(QtGridTest, ColumnsWriteAtOnceAndStopAtTheLastRow) {
  QtGrid grid(2, 4, 16, false);
  grid.SetCell(0, 0, "keep");
  grid.SetColumn(1, 2, {"a", "b", "c"});
  EXPECT_EQ(grid.Cell(1, 2), "a");
  EXPECT_EQ(grid.Cell(1, 3), "b");
  EXPECT_EQ(grid.Cell(1, 1), "");
  EXPECT_EQ(grid.Cell(0, 0), "keep");
  EXPECT_EQ(grid.model()->data(grid.model()->index(2, 1)).toString(), "a");

  grid.SetColCount(5);
  EXPECT_EQ(grid.ColCount(), 5);
  EXPECT_EQ(grid.model()->columnCount(), 5);
  grid.SetDefaultColWidth(36);
  EXPECT_EQ(grid.columnWidth(4), 36);
  grid.SetColCount(1);
  EXPECT_EQ(grid.Cell(1, 2), "");
}

TEST(QtGridTest, OnlyEditableGridsTakeTypedTexts) {
  QtGrid training(2, 3, 24, true);
  QtGrid validation(2, 3, 24, false);
  const QModelIndex cell = training.model()->index(0, 1);
  EXPECT_TRUE(training.model()->setData(cell, "1.5", Qt::EditRole));
  EXPECT_EQ(training.Cell(1, 0), "1.5");
  EXPECT_FALSE(validation.model()->setData(validation.model()->index(0, 1), "1.5", Qt::EditRole));
  EXPECT_EQ(validation.Cell(1, 0), "");
  EXPECT_TRUE(training.model()->flags(cell) & Qt::ItemIsEditable);
  EXPECT_FALSE(validation.model()->flags(cell) & Qt::ItemIsEditable);
}

TEST(QtGridTest, HoldsLongSeries) {
  QtGrid grid(2, 100, 24, true);
  std::vector<std::string> texts(100000);
  for (std::size_t i = 0; i < texts.size(); ++i) texts[i] = std::to_string(i);
  grid.SetRowCount(100000);
  grid.SetColumn(0, 0, texts);
  EXPECT_EQ(grid.Cell(0, 99999), "99999");
  EXPECT_EQ(grid.model()->rowCount(), 100000);
}

std::vector<SeriesStyle> TwoSeries() {
  return {{"first", QColor(255, 0, 0), false, false}, {"second", QColor(0, 0, 255), true, true}};
}

TEST(QtChartTest, KeepsFinitePointsWithTheirLabels) {
  QtChart chart(TwoSeries(), "Generation", "Fitness");
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  chart.AddPoints(0, {{0, 1.5, "0"}, {1, inf, "1"}, {2, nan, "2"}, {nan, 3, "x"}, {3, 2.5, ""}});
  chart.AddPoint(1, 0.0, 4.0, "zero");
  ASSERT_EQ(chart.PointCount(0), 2);
  EXPECT_EQ(chart.Points(0)[0].label, "0");
  EXPECT_DOUBLE_EQ(chart.Points(0)[1].x, 3.0);
  EXPECT_EQ(chart.Points(0)[1].label, "");
  EXPECT_EQ(chart.Points(1)[0].label, "zero");

  chart.Flush();
  EXPECT_EQ(chart.Series(0)->count(), 2);
  EXPECT_EQ(chart.Series(1)->count(), 1);

  chart.ReplaceSeries(0, {{5, 5, "5"}});
  chart.ClearSeries(1);
  chart.Flush();
  EXPECT_EQ(chart.PointCount(0), 1);
  EXPECT_EQ(chart.Series(0)->count(), 1);
  EXPECT_EQ(chart.PointCount(1), 0);
  EXPECT_EQ(chart.Series(1)->count(), 0);

  chart.AddPoint(7, 1, 1, "");  // no such series: nothing happens
  EXPECT_EQ(chart.PointCount(7), 0);
  EXPECT_TRUE(chart.Points(-1).empty());
}

TEST(QtChartTest, PointsReachTheSeriesWhenEventsAreProcessed) {
  QtChart chart(TwoSeries(), "", "");
  for (int i = 0; i < 1000; ++i) chart.AddPoint(0, i, i * 0.5, std::to_string(i));
  QCoreApplication::processEvents();
  EXPECT_EQ(chart.Series(0)->count(), 0);  // a hidden chart takes them when shown
  chart.show();
  EXPECT_EQ(chart.Series(0)->count(), 1000);
  chart.AddPoint(0, 1000, 500, "");
  QTest::qWait(2 * QtChart::kFrameMs);  // at most once a frame
  EXPECT_EQ(chart.Series(0)->count(), 1001);
  EXPECT_DOUBLE_EQ(chart.Series(0)->at(999).y(), 499.5);
}

TEST(QtChartTest, AxesFollowTheDataUnlessAMaximumIsSet) {
  QtChart chart(TwoSeries(), "", "");
  chart.AddPoints(0, {{2, -1, ""}, {10, 4, ""}});
  chart.AddPoints(1, {{0, 3, ""}});
  chart.Flush();
  EXPECT_DOUBLE_EQ(chart.BottomAxis()->min(), 0.0);
  EXPECT_DOUBLE_EQ(chart.BottomAxis()->max(), 10.0);
  EXPECT_DOUBLE_EQ(chart.LeftAxis()->min(), -1.0);
  EXPECT_DOUBLE_EQ(chart.LeftAxis()->max(), 4.0);

  chart.SetLeftAxisMaximum(-2.0);  // below the axis minimum: refused
  chart.SetLeftAxisMaximum(std::numeric_limits<double>::quiet_NaN());
  chart.Flush();
  EXPECT_DOUBLE_EQ(chart.LeftAxis()->max(), 4.0);
  chart.SetLeftAxisMaximum(11.0);
  chart.Flush();
  EXPECT_DOUBLE_EQ(chart.LeftAxis()->max(), 11.0);
  chart.ClearSeries(0);
  chart.ClearSeries(1);
  chart.Flush();
  EXPECT_DOUBLE_EQ(chart.LeftAxis()->max(), 11.0);  // kept until made automatic again
  chart.SetLeftAxisAutomatic();
  chart.AddPoints(0, {{0, 2, ""}, {1, 3, ""}});
  chart.Flush();
  EXPECT_DOUBLE_EQ(chart.LeftAxis()->max(), 3.0);
}

TEST(QtChartTest, UndoZoomBringsBackTheWholeSeries) {
  QtChart chart(TwoSeries(), "", "");
  chart.resize(400, 300);
  chart.AddPoints(0, {{0, 0, ""}, {100, 50, ""}});
  chart.Flush();
  chart.chart()->zoom(4.0);
  ASSERT_TRUE(chart.chart()->isZoomed());
  chart.AddPoints(0, {{200, 80, ""}});
  chart.UndoZoom();
  EXPECT_FALSE(chart.chart()->isZoomed());
  EXPECT_DOUBLE_EQ(chart.BottomAxis()->max(), 200.0);
  EXPECT_DOUBLE_EQ(chart.LeftAxis()->max(), 80.0);
}

TEST(QtChartTest, SeriesLookAsSpecified) {
  QtChart chart(TwoSeries(), "Generation", "Fitness");
  EXPECT_EQ(chart.SeriesCount(), 2);
  EXPECT_EQ(chart.Series(1)->name(), "second");
  EXPECT_EQ(chart.Series(0)->pen().style(), Qt::SolidLine);
  EXPECT_EQ(chart.Series(1)->pen().style(), Qt::DotLine);
  EXPECT_EQ(chart.Series(1)->pen().color(), QColor(0, 0, 255));
  EXPECT_FALSE(chart.SeriesInLegend(0));
  EXPECT_TRUE(chart.SeriesInLegend(1));
  EXPECT_FALSE(chart.Series(0)->pointsVisible());
  EXPECT_EQ(chart.BottomAxis()->titleText(), "Generation");
  EXPECT_EQ(chart.LeftAxis()->titleText(), "Fitness");
  EXPECT_EQ(chart.rubberBand(), QChartView::RectangleRubberBand);
  EXPECT_EQ(chart.chart()->plotAreaBackgroundBrush().color(), QColor(Qt::white));
}

TEST(QtControlsTest, LabelMemoProgressBarAndButton) {
  QWidget page;
  QtLabel label("Not running", &page);
  label.SetVisible(false);
  EXPECT_FALSE(label.Visible());
  label.SetVisible(true);
  EXPECT_TRUE(label.Visible());  // its own flag, though the page is not shown
  label.SetCaption("No1:\u30001 / 50");
  EXPECT_EQ(label.Caption(), "No1:\u30001 / 50");

  QtMemo memo;
  memo.SetText("[Population No1]\r\nX0\r\n\r\n");
  EXPECT_EQ(memo.Text(), "[Population No1]\r\nX0\r\n\r\n");
  EXPECT_EQ(memo.toPlainText(), "[Population No1]\nX0\n\n");

  QtProgressBar bar;
  bar.SetRange(0, 0);  // every population at 0 generations
  EXPECT_EQ(bar.Maximum(), 0);
  EXPECT_LT(bar.minimum(), bar.maximum());  // never Qt's busy indicator
  bar.SetRange(0, 220);
  bar.SetPosition(221);
  EXPECT_EQ(bar.Position(), 221);
  EXPECT_EQ(bar.value(), 220);

  BitBtn button("Stop", toolkit::ButtonKind::No);
  const QImage cross = button.icon().pixmap(16).toImage();
  button.SetKind(toolkit::ButtonKind::Ok);
  button.SetCaption("Resume");
  EXPECT_EQ(button.Kind(), toolkit::ButtonKind::Ok);
  EXPECT_EQ(button.text(), "Resume");
  EXPECT_NE(button.icon().pixmap(16).toImage(), cross);
  button.SetEnabled(false);
  EXPECT_FALSE(button.Enabled());
}

TEST(MessageBoxTest, CarriesTheApplicationTitleAndOneOkButton) {
  const auto box = MakeMessageBox(nullptr, "The sum of operation rate must be 1.0", false);
  EXPECT_EQ(box->windowTitle(), "Vobrix for REGRESSION ver1.0");
  EXPECT_EQ(box->text(), "The sum of operation rate must be 1.0");
  EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
  EXPECT_EQ(MakeMessageBox(nullptr, "x", true)->icon(), QMessageBox::Critical);

  QWidget window;
  QtApplicationOps application(&window);
  fakeSeam().Clear();
  application.ShowMessage("Selected Data contains Invalid Value.");
  EXPECT_EQ(fakeSeam().messages, QStringList{"Selected Data contains Invalid Value."});
}

class Thrower : public QObject {
 public:
  bool reached = false;
  bool event(QEvent* event) override {
    if (event->type() != QEvent::User) return QObject::event(event);
    reached = true;
    throw std::runtime_error("boom");
  }
};

TEST(ErrorBoxTest, ErrorsEscapingHandlersAreReportedAndTheEventEnds) {
  fakeSeam().Clear();
  bool after = false;
  Guarded(nullptr, [&] {
    throw ConversionError("abc");
    after = true;
  });
  EXPECT_FALSE(after);
  ASSERT_EQ(fakeSeam().errors.size(), 1);
  EXPECT_TRUE(fakeSeam().errors[0].contains("'abc'"));

  // An exception thrown by an event handler reached through the event loop.
  Thrower thrower;
  fakeSeam().Clear();
  QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
  QCoreApplication::processEvents();
  EXPECT_EQ(fakeSeam().errors, QStringList{"boom"});
  EXPECT_TRUE(thrower.reached);
}

TEST(UpDownTest, StepsFromTheTypedNumberWithinItsBounds) {
  QLineEdit edit("5");
  UpDown upDown(&edit, 1, 100, 5);
  upDown.Step(1);
  EXPECT_EQ(edit.text(), "6");
  edit.setText("100");
  upDown.Step(1);
  EXPECT_EQ(edit.text(), "100");  // no wrap
  edit.setText("abc");
  upDown.Step(-1);
  EXPECT_EQ(edit.text(), "99");  // from the last position
  edit.setText("1");
  upDown.DownButton()->click();
  EXPECT_EQ(edit.text(), "1");
  EXPECT_EQ(upDown.Position(), 1);
}

}  // namespace
}  // namespace vobrix::ui
