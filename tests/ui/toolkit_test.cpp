// The Qt side of the window operations: grids, charts, message and error boxes.

#include <QMessageBox>
#include <limits>

#include "fake_seam.h"

namespace vobrix::ui {
namespace {

using testing::fakeSeam;

TEST(QtGridTest, RowsNeverBelowOneCellsBeyondReadEmptyAndAColumnStopsAtTheLastRow) {
  QtGrid grid(2, 100, 24, true);
  grid.SetCell(1, 99, "7.5");
  EXPECT_EQ(grid.Cell(1, 99), "7.5");
  for (const auto& [col, row] : {std::pair{1, 100}, {2, 0}, {-1, 0}}) {
    EXPECT_EQ(grid.Cell(col, row), "") << col << "," << row;
  }
  grid.SetCell(1, 100, "lost");  // beyond the rows: ignored, nothing grows
  EXPECT_EQ(grid.RowCount(), 100);
  grid.SetRowCount(0);
  EXPECT_EQ(grid.RowCount(), 1);
  EXPECT_EQ(grid.model()->rowCount(), 1);
  grid.SetRowCount(100);
  EXPECT_EQ(grid.Cell(1, 99), "");  // the shrunk rows do not come back
  grid.SetCell(0, 0, "keep");
  grid.SetColumn(1, 97, {"a", "b", "c", "d"});  // written at once from row 97
  EXPECT_EQ(grid.Cell(1, 96) + grid.Cell(1, 97) + grid.Cell(1, 99) + grid.Cell(0, 0), "ackeep");
  EXPECT_EQ(grid.RowCount(), 100);
  EXPECT_EQ(grid.model()->data(grid.model()->index(98, 1)).toString(), "b");
}

TEST(QtChartTest, SkipsNonFinitePointsAndRefusesABadAxisMaximum) {
  QtChart chart({{"first", Qt::red, false, false}, {"second", Qt::blue, true, true}}, "", "");
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  chart.AddPoints(0, {{0, -1, "0"}, {1, inf, "1"}, {2, nan, "2"}, {nan, 3, "x"}, {10, 4, ""}});
  ASSERT_EQ(chart.PointCount(0), 2);
  EXPECT_EQ(chart.Points(0)[0].label, "0");
  EXPECT_DOUBLE_EQ(chart.Points(0)[1].x, 10.0);
  chart.Flush();
  EXPECT_EQ(chart.Series(0)->count(), 2);
  EXPECT_DOUBLE_EQ(chart.LeftAxis()->min(), -1.0);
  EXPECT_DOUBLE_EQ(chart.LeftAxis()->max(), 4.0);

  chart.SetLeftAxisMaximum(-2.0);  // below the axis minimum
  chart.SetLeftAxisMaximum(nan);
  chart.Flush();
  EXPECT_DOUBLE_EQ(chart.LeftAxis()->max(), 4.0);
  chart.SetLeftAxisMaximum(11.0);
  chart.ClearSeries(0);
  chart.Flush();
  EXPECT_DOUBLE_EQ(chart.LeftAxis()->max(), 11.0);  // kept until made automatic again
  chart.SetLeftAxisAutomatic();
  chart.AddPoints(0, {{0, 2, ""}, {1, 3, ""}});
  chart.Flush();
  EXPECT_DOUBLE_EQ(chart.LeftAxis()->max(), 3.0);
}

class Thrower : public QObject {
 public:
  bool event(QEvent* event) override {
    if (event->type() != QEvent::User) return QObject::event(event);
    throw std::runtime_error("boom");
  }
};

TEST(BoxTest, MessagesCarryTheApplicationTitleAndErrorsReachTheErrorBox) {
  const auto box = MakeMessageBox(nullptr, "The sum of operation rate must be 1.0", false);
  EXPECT_EQ(box->windowTitle(), "Vobrix for REGRESSION ver1.0");
  EXPECT_EQ(box->text(), "The sum of operation rate must be 1.0");
  EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);

  // An error escaping a handler reached through the event loop goes to the error box.
  Thrower thrower;
  fakeSeam().Clear();
  QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
  QCoreApplication::processEvents();
  EXPECT_EQ(fakeSeam().errors, QStringList{"boom"});
}

}  // namespace
}  // namespace vobrix::ui
