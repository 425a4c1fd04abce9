// The chart windows, the About box and the web-page entry.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "fake_seam.h"
#include "ui/about.h"
#include "ui/unit1.h"
#include "ui/unit4.h"
#include "ui/unit5.h"
#include "ui/unit6.h"

namespace vobrix::ui {
namespace {

using testing::fakeSeam;
using testing::MakeShownForm;

TEST(ChartWindowTest, CaptionsSizesAndSeries) {
  fakeSeam().Clear();
  TForm1 form;
  TForm5& fitness = *form.Form5();
  TForm6& length = *form.Form6();
  TForm4& prediction = *form.Form4();
  EXPECT_EQ(fitness.windowTitle(), "Fitness of Vest Indiv.");
  EXPECT_EQ(length.windowTitle(), "Length of gene");
  EXPECT_EQ(prediction.windowTitle(), "Traning&Prediction data");
  EXPECT_EQ(fitness.minimumSize(), QSize(595, 360));
  EXPECT_EQ(fitness.maximumSize(), QSize(595, 360));
  EXPECT_EQ(length.maximumSize(), QSize(594, 415));
  EXPECT_EQ(prediction.size(), QSize(672, 459));
  EXPECT_NE(prediction.maximumSize(), prediction.minimumSize());  // sizeable

  const QColor lime(0, 255, 0);
  ASSERT_EQ(fitness.Chart2->SeriesCount(), 8);
  EXPECT_EQ(fitness.Chart2->Series(0)->name(), "Training fitness 1");
  EXPECT_EQ(fitness.Chart2->Series(0)->pen().style(), Qt::DotLine);
  EXPECT_EQ(fitness.Chart2->Series(5)->name(), "Validation fitness 3");
  EXPECT_EQ(fitness.Chart2->Series(5)->pen().color(), lime);
  EXPECT_EQ(fitness.Chart2->Series(5)->pen().style(), Qt::SolidLine);
  EXPECT_EQ(fitness.Chart2->LeftAxis()->titleText(), "Fitness of best indv.");
  ASSERT_EQ(length.Chart3->SeriesCount(), 8);
  EXPECT_EQ(length.Chart3->Series(6)->name(), "Best indv. 4");
  EXPECT_EQ(length.Chart3->Series(7)->name(), "Average 4");
  EXPECT_EQ(length.Chart3->Series(7)->pen().style(), Qt::DotLine);
  ASSERT_EQ(prediction.Chart1->SeriesCount(), 9);
  EXPECT_EQ(prediction.Chart1->Series(0)->name(), "data");
  EXPECT_EQ(prediction.Chart1->Series(3)->pen().color(), lime);
  EXPECT_EQ(prediction.Chart1->Series(8)->name(), "Prediction");
  EXPECT_EQ(prediction.Chart1->Series(8)->pen().style(), Qt::DotLine);
  for (QtChart* chart : {fitness.Chart2, length.Chart3, prediction.Chart1}) {
    for (int i = 0; i < chart->SeriesCount(); ++i) EXPECT_TRUE(chart->SeriesInLegend(i));
  }
  EXPECT_EQ(fitness.BitBtn1->text(), "Close");
}

TEST(ChartWindowTest, ClosingHidesAndKeepsThePoints) {
  auto form = MakeShownForm();
  TForm5& fitness = *form->Form5();
  QTest::mouseDClick(form->Chart2->viewport(), Qt::LeftButton);
  EXPECT_TRUE(fitness.isVisible());

  fitness.Chart2->AddPoints(0, {{0, 2.5, "0"}, {1, 1.5, "1"}});
  form->Chart2->AddPoints(0, {{0, 2.5, "0"}});
  fitness.BitBtn1->click();
  EXPECT_FALSE(fitness.isVisible());
  fitness.Chart2->AddPoint(1, 0, 3.0, "0");  // the run goes on while it is hidden
  form->Chart2DblClick();
  EXPECT_TRUE(fitness.isVisible());
  EXPECT_EQ(fitness.Chart2->PointCount(0), 2);
  EXPECT_EQ(fitness.Chart2->Points(0)[1].label, "1");
  EXPECT_EQ(fitness.Chart2->PointCount(1), 1);
  fitness.close();  // the title-bar box also only hides it
  EXPECT_FALSE(fitness.isVisible());
  QCoreApplication::processEvents();
  EXPECT_EQ(fitness.Chart2->Series(0)->count(), 2);

  form->Chart3DblClick();
  form->Chart4DblClick();
  EXPECT_TRUE(form->Form6()->isVisible());
  EXPECT_TRUE(form->Form4()->isVisible());
  form->Form4()->close();
  form->Form6()->close();
}

TEST(AboutBoxTest, OkHidesItAndBringsTheMainWindowBack) {
  auto form = MakeShownForm();
  TAboutBox& about = *form->AboutBox();
  EXPECT_EQ(about.windowTitle(), "Vobrix1.0");
  EXPECT_TRUE(about.windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_EQ(about.size(), QSize(298, 213));
  EXPECT_EQ(about.ProductName->text(), "Vobrix");
  EXPECT_EQ(about.Version->text(), "Version 1.0");
  EXPECT_FALSE(about.Copyright->text().isEmpty());
  EXPECT_EQ(about.ProgramIcon->pixmap().size(), QSize(225, 81));
  EXPECT_TRUE(about.OKButton->isDefault());

  form->About1->trigger();
  EXPECT_TRUE(about.isVisible());
  form->hide();
  about.OKButton->click();
  EXPECT_FALSE(about.isVisible());
  EXPECT_TRUE(form->isVisible());
}

TEST(WebPageTest, OpensOurAddressWithoutAnyMessage) {
  fakeSeam().Clear();
  TForm1 form;
  form.VobrixWebSite1->trigger();
  EXPECT_EQ(fakeSeam().urls, QList<QUrl>{QUrl(QString::fromLatin1(kWebPage))});
  EXPECT_TRUE(fakeSeam().messages.isEmpty());
  EXPECT_TRUE(fakeSeam().errors.isEmpty());
}

}  // namespace
}  // namespace vobrix::ui
