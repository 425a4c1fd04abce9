// The line chart of the window (QtChart in qt_toolkit.h): stored points, decimated drawing,
// round ticks, the optional log scale and reference lines.
#include <QChart>
#include <QContextMenuEvent>
#include <QLegend>
#include <QLegendMarker>
#include <QMenu>
#include <QTimer>
#include <algorithm>
#include <cmath>

#include "ui/chart_axes.h"
#include "ui/chart_decimation.h"
#include "ui/qt_toolkit.h"

namespace vobrix::ui {
namespace {

// Pixels between ticks: labels of the small charts stay apart and readable.
constexpr double kVerticalTickSpacing = 28.0;
constexpr double kHorizontalTickSpacing = 64.0;

QPen PenOf(const SeriesStyle& style) {
  QPen pen(style.colour);
  pen.setWidth(2);
  pen.setStyle(style.dashed ? Qt::DashLine : style.dotted ? Qt::DotLine : Qt::SolidLine);
  return pen;
}

void StyleAxis(QAbstractAxis* axis, const QFont& font) {
  axis->setLabelsFont(font);
  QFont title = font;
  title.setBold(false);
  axis->setTitleFont(title);
}

}  // namespace

QtChart::QtChart(const std::vector<SeriesStyle>& series, const QString& bottomTitle,
                 const QString& leftTitle, QWidget* parent)
    : QChartView(new QChart(), parent) {
  // Built with its chart: QChartView(parent) makes a default chart that setChart would release
  // to nobody.
  QChart* chart = this->chart();
  chart->setBackgroundRoundness(0);
  chart->setMargins(QMargins(2, 2, 2, 2));
  chart->setPlotAreaBackgroundBrush(Qt::white);
  chart->setPlotAreaBackgroundVisible(true);
  chart->legend()->setAlignment(Qt::AlignTop);
  chart->legend()->setMarkerShape(QLegend::MarkerShapeFromSeries);
  QFont small = chart->legend()->font();
  small.setPointSizeF(7.5);
  chart->legend()->setFont(small);
  axisX_ = new QValueAxis(chart);
  axisY_ = new QValueAxis(chart);
  logAxis_ = new QLogValueAxis(this);
  axisX_->setTitleText(bottomTitle);
  axisY_->setTitleText(leftTitle);
  logAxis_->setTitleText(leftTitle);
  logAxis_->setBase(10.0);
  // Powers of ten as plain numbers (0.001, 1000), not "1e+03".
  logAxis_->setLabelFormat(QStringLiteral("%.12g"));
  for (QAbstractAxis* axis :
       {static_cast<QAbstractAxis*>(axisX_), static_cast<QAbstractAxis*>(axisY_),
        static_cast<QAbstractAxis*>(logAxis_)}) {
    StyleAxis(axis, small);
  }
  chart->addAxis(axisX_, Qt::AlignBottom);
  chart->addAxis(axisY_, Qt::AlignLeft);
  // A zoom changes the ranges: the ticks follow, and long series are drawn again at the
  // zoomed resolution.
  connect(axisX_, &QValueAxis::rangeChanged, this, [this] {
    SetAxisRange(axisX_, {axisX_->min(), axisX_->max()}, Qt::Horizontal);
    if (this->chart()->isZoomed()) {
      MarkAllDirty();
      Changed(0);
    }
  });
  connect(axisY_, &QValueAxis::rangeChanged, this, [this] {
    SetAxisRange(axisY_, {axisY_->min(), axisY_->max()}, Qt::Vertical);
  });
  // A new size: as many ticks as fit, and long series drawn again for the new pixel columns.
  connect(chart, &QChart::plotAreaChanged, this, [this] {
    FitTicks();
    if (DrawColumns() != drawnColumns_) {
      MarkAllDirty();
      Changed(0);
    }
  });
  for (const SeriesStyle& style : series) series_.push_back(NewLine(style));
  points_.resize(series_.size());
  dirty_.assign(series_.size(), false);
  setRubberBand(QChartView::RectangleRubberBand);
  Rescale();
}

QLineSeries* QtChart::NewLine(const SeriesStyle& style) {
  QChart* chart = this->chart();
  auto* line = new QLineSeries(chart);
  line->setName(style.title);
  line->setPen(PenOf(style));
  line->setPointsVisible(false);
  chart->addSeries(line);
  line->attachAxis(axisX_);
  line->attachAxis(logScale_ ? static_cast<QAbstractAxis*>(logAxis_) : axisY_);
  if (!style.inLegend) {
    for (QLegendMarker* marker : chart->legend()->markers(line)) marker->setVisible(false);
  }
  return line;
}

int QtChart::AppendSeries(const SeriesStyle& style) {
  series_.push_back(NewLine(style));
  points_.emplace_back();
  dirty_.push_back(false);
  return static_cast<int>(series_.size()) - 1;
}

bool QtChart::ValidIndex(int series) const {
  return series >= 0 && series < static_cast<int>(series_.size());
}

bool QtChart::SeriesInLegend(int index) const {
  if (!ValidIndex(index)) return false;
  const auto markers = chart()->legend()->markers(Series(index));
  return !markers.isEmpty() && markers.front()->isVisible();
}

void QtChart::Bounds::Extend(double x, double y) {
  if (y > 0.0) minPositiveY = std::min(minPositiveY.value_or(y), y);
  if (!any) {
    minX = maxX = x;
    minY = maxY = y;
    any = true;
    return;
  }
  minX = std::min(minX, x);
  maxX = std::max(maxX, x);
  minY = std::min(minY, y);
  maxY = std::max(maxY, y);
}

void QtChart::RecomputeBounds() {
  bounds_ = Bounds{};
  for (const auto& series : points_) {
    for (const toolkit::ChartPoint& point : series) bounds_.Extend(point.x, point.y);
  }
}

void QtChart::MarkAllDirty() {
  dirty_.assign(series_.size(), true);
}

void QtChart::Changed(int series) {
  dirty_[static_cast<std::size_t>(series)] = true;
  if (flushQueued_) return;
  flushQueued_ = true;
  const qint64 sinceFlush = lastFlush_.isValid() ? lastFlush_.elapsed() : kFrameMs;
  QTimer::singleShot(std::max<qint64>(kFrameMs - sinceFlush, 0), this, &QtChart::FlushIfShown);
}

void QtChart::Store(int series, const std::vector<toolkit::ChartPoint>& points) {
  auto& stored = points_[static_cast<std::size_t>(series)];
  for (const toolkit::ChartPoint& point : points) {
    if (!std::isfinite(point.x) || !std::isfinite(point.y)) continue;
    stored.push_back(point);
    bounds_.Extend(point.x, point.y);
  }
  // In log scale the floor that points at or below 0 are drawn on may have moved.
  if (logScale_) MarkAllDirty();
  Changed(series);
}

void QtChart::ClearSeries(int series) {
  if (!ValidIndex(series)) return;
  points_[static_cast<std::size_t>(series)].clear();
  RecomputeBounds();
  Changed(series);
}

void QtChart::AddPoints(int series, const std::vector<toolkit::ChartPoint>& points) {
  if (!ValidIndex(series)) return;
  Store(series, points);
}

void QtChart::ReplaceSeries(int series, const std::vector<toolkit::ChartPoint>& points) {
  if (!ValidIndex(series)) return;
  points_[static_cast<std::size_t>(series)].clear();
  RecomputeBounds();
  Store(series, points);
}

int QtChart::PointCount(int series) const {
  return ValidIndex(series) ? static_cast<int>(points_[static_cast<std::size_t>(series)].size())
                            : 0;
}

std::vector<toolkit::ChartPoint> QtChart::Points(int series) const {
  return ValidIndex(series) ? points_[static_cast<std::size_t>(series)]
                            : std::vector<toolkit::ChartPoint>{};
}

void QtChart::SetLeftAxisMaximum(double maximum) {
  if (!std::isfinite(maximum) || maximum < 0.0) return;
  leftMaximum_ = maximum;
  Changed(0);
}

void QtChart::SetLeftAxisAutomatic() {
  leftMaximum_.reset();
  Changed(0);
}

void QtChart::SetLogScale(bool on) {
  if (on == logScale_) return;
  logScale_ = on;
  QAbstractAxis* from = on ? static_cast<QAbstractAxis*>(axisY_) : logAxis_;
  QAbstractAxis* to = on ? static_cast<QAbstractAxis*>(logAxis_) : axisY_;
  std::vector<QLineSeries*> lines = series_;
  lines.insert(lines.end(), referenceSeries_.begin(), referenceSeries_.end());
  for (QLineSeries* line : lines) line->detachAxis(from);
  chart()->removeAxis(from);
  from->setParent(this);  // kept for the way back
  // Points at or below 0 never meet the logarithmic axis: drawn on its floor before it is
  // attached, drawn as they are only once the linear axis is back.
  if (on) {
    MarkAllDirty();
    Flush();
  }
  chart()->addAxis(to, Qt::AlignLeft);
  for (QLineSeries* line : lines) line->attachAxis(to);
  if (!on) {
    MarkAllDirty();
    Flush();
  }
  emit logScaleChanged(on);
}

void QtChart::SetReferenceLines(const std::vector<ReferenceLine>& lines) {
  for (QLineSeries* line : referenceSeries_) {
    chart()->removeSeries(line);
    delete line;
  }
  referenceSeries_.clear();
  references_ = lines;
  for (const ReferenceLine& line : references_) referenceSeries_.push_back(NewLine(line.style));
  Changed(0);
}

void QtChart::PlaceReferenceLines(double minX, double maxX) {
  for (std::size_t i = 0; i < references_.size(); ++i) {
    const double y = DrawnY(references_[i].value);
    referenceSeries_[i]->replace(QList<QPointF>{QPointF(minX, y), QPointF(maxX, y)});
  }
}

void QtChart::UndoZoom() {
  // Unzoomed, the axes already follow the points at the next flush; flushing here would undo
  // the once-a-frame pace, as the prediction chart's zoom is reset at every step.
  if (!chart()->isZoomed()) return;
  Flush();
  // The zoomed ticks would be far too many over the whole range.
  axisX_->setTickInterval(NiceTicks({bounds_.minX, bounds_.maxX}, 2).step);
  axisY_->setTickInterval(NiceTicks(LinearRange(), 2).step);
  chart()->zoomReset();
  MarkAllDirty();
  Flush();
}

void QtChart::FlushIfShown() {
  // Qt Charts recomputes a series' whole outline on every change, which costs far more than
  // the run's own report; a hidden chart keeps its points until it is shown.
  if (isVisible()) {
    Flush();
  } else {
    flushQueued_ = false;
  }
}

void QtChart::showEvent(QShowEvent* event) {
  QChartView::showEvent(event);
  Flush();
}

void QtChart::contextMenuEvent(QContextMenuEvent* event) {
  if (!logScaleOffered_) {
    QChartView::contextMenuEvent(event);
    return;
  }
  QMenu menu(this);
  QAction* log = menu.addAction(QStringLiteral("Logarithmic scale"));
  log->setCheckable(true);
  log->setChecked(logScale_);
  if (menu.exec(event->globalPos()) == log) SetLogScale(!logScale_);
}

int QtChart::DrawColumns() const {
  // Before the first layout the plot area is empty: a screen's width is a safe guess.
  const int plot = static_cast<int>(chart()->plotArea().width());
  return std::max(plot > 0 ? plot : 1920, 100);
}

double QtChart::DrawnY(double y) const {
  if (!logScale_) return y;
  return std::max(y, LogarithmicRange().low);
}

void QtChart::Draw(std::size_t series, double minX, double maxX) {
  const std::vector<toolkit::ChartPoint>& points = points_[series];
  const std::vector<std::size_t> kept = DecimatedIndexes(points, minX, maxX, drawnColumns_);
  QList<QPointF> drawn;
  drawn.reserve(static_cast<qsizetype>(kept.size()));
  for (std::size_t index : kept) {
    drawn.append(QPointF(points[index].x, DrawnY(points[index].y)));
  }
  series_[series]->replace(drawn);
}

void QtChart::Flush() {
  flushQueued_ = false;
  lastFlush_.start();
  drawnColumns_ = DrawColumns();
  // Zoomed, the columns span what is shown; otherwise every point's X.
  double minX = bounds_.minX, maxX = bounds_.maxX;
  if (chart()->isZoomed()) {
    minX = axisX_->min();
    maxX = axisX_->max();
  }
  for (std::size_t i = 0; i < series_.size(); ++i) {
    if (!dirty_[i]) continue;
    dirty_[i] = false;
    Draw(i, minX, maxX);
  }
  Rescale();
}

void QtChart::SetAxisRange(QValueAxis* axis, AxisRange range, Qt::Orientation orientation) {
  const QRectF plot = chart()->plotArea();
  const int ticks = orientation == Qt::Horizontal
                        ? TicksForLength(plot.width(), kHorizontalTickSpacing)
                        : TicksForLength(plot.height(), kVerticalTickSpacing);
  const TickPlan plan = NiceTicks(range, ticks);
  // Qt lays out the ticks at every change: a wide range with a narrow interval, even for a
  // moment, would make hundreds of thousands of them. The wider interval goes first.
  const bool wider = plan.step >= axis->tickInterval();
  if (wider) axis->setTickInterval(plan.step);
  if (axis->min() != range.low || axis->max() != range.high) axis->setRange(range.low, range.high);
  if (!wider) axis->setTickInterval(plan.step);
  axis->setTickAnchor(plan.first);
  axis->setTickType(QValueAxis::TicksDynamic);
  axis->setLabelFormat(QString::fromStdString(TickFormat(plan, range)));
}

void QtChart::FitTicks() {
  SetAxisRange(axisX_, {axisX_->min(), axisX_->max()}, Qt::Horizontal);
  SetAxisRange(axisY_, {axisY_->min(), axisY_->max()}, Qt::Vertical);
}

QtChart::Bounds QtChart::VerticalBounds() const {
  Bounds all = bounds_;
  for (const ReferenceLine& line : references_) all.Extend(all.any ? all.minX : 0.0, line.value);
  return all;
}

AxisRange QtChart::LinearRange() const {
  const Bounds all = VerticalBounds();
  return VerticalRange(all.any ? std::optional(AxisRange{all.minY, all.maxY}) : std::nullopt,
                       leftMaximum_);
}

AxisRange QtChart::LogarithmicRange() const {
  const Bounds all = VerticalBounds();
  std::optional<double> largest = all.any ? std::optional(all.maxY) : std::nullopt;
  if (leftMaximum_) largest = std::max(largest.value_or(*leftMaximum_), *leftMaximum_);
  return LogRange(all.minPositiveY, largest);
}

void QtChart::Rescale() {
  // A zoomed chart keeps the user's view; undo zoom brings the automatic ranges back.
  if (chart()->isZoomed()) return;
  AxisRange x{0.0, 1.0};
  if (bounds_.any) x = {bounds_.minX, bounds_.maxX};
  if (x.high <= x.low) x.high = x.low + 1.0;
  SetAxisRange(axisX_, x, Qt::Horizontal);
  SetAxisRange(axisY_, LinearRange(), Qt::Vertical);
  const AxisRange log = LogarithmicRange();
  logAxis_->setRange(log.low, log.high);
  PlaceReferenceLines(x.low, x.high);
}

void QtChart::mouseDoubleClickEvent(QMouseEvent* event) {
  emit doubleClicked();
  QChartView::mouseDoubleClickEvent(event);
}

}  // namespace vobrix::ui
