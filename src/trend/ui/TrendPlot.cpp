#include "trend/ui/TrendPlot.h"

#include <qcustomplot.h>
#include <QBuffer>
#include <QRegularExpression>
#include <QSvgGenerator>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

#include "site/TextColumns.h"
#include "trend/ColumnDecimator.h"

namespace bw {

namespace {

// Sixteen colours that stay apart on white.
const std::array<QColor, kMaxReadings> kColours = {
    QColor(31, 119, 180),  QColor(255, 127, 14), QColor(44, 160, 44),   QColor(214, 39, 40),
    QColor(148, 103, 189), QColor(140, 86, 75),  QColor(227, 119, 194), QColor(127, 127, 127),
    QColor(188, 189, 34),  QColor(23, 190, 207), QColor(0, 0, 128),     QColor(128, 0, 0),
    QColor(0, 128, 128),   QColor(128, 128, 0),  QColor(255, 0, 255),   QColor(0, 0, 0)};

// Set-back marks closer than this are one dashed line to the eye.
constexpr int kSetBackMarkPixels = 4;
constexpr int kFewestSetBackMarks = 50;
constexpr double kDay = 86400.0;

QVector<double> toVector(const std::vector<double>& v) {
  return QVector<double>(v.begin(), v.end());
}

}  // namespace

// The chart library's parts: the plot widget and what is drawn in it.
struct TrendPlot::Chart {
  QCustomPlot* plot = nullptr;  // a child widget of the TrendPlot
  std::vector<QCPCurve*> lines;
  std::vector<QCPGraph*> flags;
  std::vector<QCPGraph*> lone;                           // readings with no neighbour to join
  std::vector<std::vector<QCPItemStraightLine*>> bands;  // each sensor's band lines
  std::vector<bool> hidden;
  QCPGraph* flagKey = nullptr;
  QSharedPointer<QCPAxisTickerDateTime> ticker;
  std::vector<QCPItemStraightLine*> setBackLines;

  // The drawn temperatures of the visible sensors in the time range in view.
  std::optional<QCPRange> drawnValues(bool inViewOnly) const {
    std::optional<QCPRange> range;
    const QCPRange keys = inViewOnly ? plot->xAxis->range() : QCPRange();
    for (std::size_t s = 0; s < lines.size(); ++s) {
      if (!lines[s]->visible()) continue;
      for (QCPAbstractPlottable* p : {static_cast<QCPAbstractPlottable*>(lines[s]),
                                      static_cast<QCPAbstractPlottable*>(flags[s]),
                                      static_cast<QCPAbstractPlottable*>(lone[s])}) {
        bool found = false;
        const QCPRange r = p->getValueRange(found, QCP::sdBoth, keys);
        if (!found) continue;
        range =
            range ? QCPRange(std::min(range->lower, r.lower), std::max(range->upper, r.upper)) : r;
      }
    }
    return range;
  }
};

TrendPlot::TrendPlot(QWidget* parent) : QWidget(parent), chart_(std::make_unique<Chart>()) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  QCustomPlot* plot = chart_->plot = new QCustomPlot;
  layout->addWidget(plot);
  plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
  plot->axisRect()->setRangeZoom(Qt::Horizontal | Qt::Vertical);
  plot->axisRect()->setRangeDrag(Qt::Horizontal | Qt::Vertical);
  plot->setNotAntialiasedElements(QCP::aePlottables);
  chart_->ticker.reset(new QCPAxisTickerDateTime);
  chart_->ticker->setDateTimeSpec(Qt::UTC);  // stamps are wall-clock seconds already
  plot->xAxis->setTicker(chart_->ticker);
  plot->yAxis->setLabel(QStringLiteral("°C"));
  plot->legend->setVisible(true);
  plot->legend->setSelectableParts(QCPLegend::spItems);
  plot->legend->setFont(QFont(font().family(), 8));
  plot->axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignLeft);
  chart_->flagKey = plot->addGraph();
  chart_->flagKey->setName(QStringLiteral("flagged reading (-1, -2, 85)"));
  chart_->flagKey->setLineStyle(QCPGraph::lsNone);
  chart_->flagKey->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCross, Qt::black, 7));
  connect(plot, &QCustomPlot::legendClick, this,
          [this](QCPLegend*, QCPAbstractLegendItem* item, QMouseEvent*) {
            auto* entry = qobject_cast<QCPPlottableLegendItem*>(item);
            if (!entry) return;
            for (std::size_t s = 0; s < chart_->lines.size(); ++s)
              if (entry->plottable() == chart_->lines[s])
                setSensorVisible(static_cast<int>(s), !sensorVisible(static_cast<int>(s)));
          });
  connect(plot->xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this, [this] {
    if (refreshing_) return;
    refresh();
    emit viewChanged();
  });
  // The plot tells of a press before it acts on it: Shift and drag draws a
  // box to zoom into, a plain drag moves the view.
  connect(plot, &QCustomPlot::mousePress, this, [plot](QMouseEvent* event) {
    plot->setSelectionRectMode(event->modifiers() & Qt::ShiftModifier ? QCP::srmZoom
                                                                      : QCP::srmNone);
  });
  connect(plot, &QCustomPlot::mouseMove, this, [this, plot](QMouseEvent* event) {
    if (plot->axisRect()->rect().contains(event->pos()))
      emit cursorAt(plot->xAxis->pixelToCoord(event->position().x()));
  });
}

TrendPlot::~TrendPlot() = default;

void TrendPlot::setSeries(const TrendSeries* series) {
  series_ = series;
  ensureSensors();
}

void TrendPlot::ensureSensors() {
  Chart& c = *chart_;
  const int count = series_ ? series_->sensorCount() : 0;
  while (static_cast<int>(c.lines.size()) < count) {
    const auto s = c.lines.size();
    const QColor colour = kColours[s % kColours.size()];
    auto* line = new QCPCurve(c.plot->xAxis, c.plot->yAxis);
    line->setName(elidedToColumns(keys_[s].label, kLabelColumns));
    line->setPen(QPen(colour, 1));
    auto* flags = c.plot->addGraph();
    flags->setLineStyle(QCPGraph::lsNone);
    flags->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCross, colour, 7));
    flags->removeFromLegend();
    auto* lone = c.plot->addGraph();
    lone->setLineStyle(QCPGraph::lsNone);
    lone->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDisc, colour, colour, 5));
    lone->removeFromLegend();
    c.lines.push_back(line);
    c.flags.push_back(flags);
    c.lone.push_back(lone);
    c.bands.emplace_back();
    c.hidden.push_back(false);
    drawBand(static_cast<int>(s));
  }
  // Sensors beyond what the data holds (a smaller file opened), and slots
  // the site leaves out, leave the legend.
  for (std::size_t s = 0; s < c.lines.size(); ++s) {
    const bool present = static_cast<int>(s) < count && keys_[s].shown;
    if (present && !c.plot->legend->hasItemWithPlottable(c.lines[s])) c.lines[s]->addToLegend();
    if (!present) c.lines[s]->removeFromLegend();
    c.lines[s]->setVisible(present && !c.hidden[s]);
    c.flags[s]->setVisible(present && !c.hidden[s]);
    c.lone[s]->setVisible(present && !c.hidden[s]);
    for (QCPItemStraightLine* band : c.bands[s]) band->setVisible(present && !c.hidden[s]);
  }
  c.flagKey->removeFromLegend();
  c.flagKey->addToLegend();
}

void TrendPlot::setFlaggedAsOrdinary(bool ordinary) {
  if (ordinary == ordinary_) return;
  ordinary_ = ordinary;
  refresh();
}

void TrendPlot::setSensorVisible(int sensor, bool visible) {
  Chart& c = *chart_;
  const auto s = static_cast<std::size_t>(sensor);
  if (s >= c.lines.size() || !keys_[s].shown) return;
  c.hidden[s] = !visible;
  c.lines[s]->setVisible(visible);
  c.flags[s]->setVisible(visible);
  c.lone[s]->setVisible(visible);
  for (QCPItemStraightLine* band : c.bands[s]) band->setVisible(visible);
  if (auto* item = c.plot->legend->itemWithPlottable(c.lines[s]))
    item->setTextColor(visible ? Qt::black : Qt::gray);
  c.plot->replot(QCustomPlot::rpQueuedReplot);
  emit viewChanged();
}

void TrendPlot::setSensorKeys(const SensorKeys& keys) {
  keys_ = keys;
  keys_.resize(static_cast<std::size_t>(kMaxReadings));
  for (std::size_t s = 0; s < chart_->lines.size(); ++s) {
    chart_->lines[s]->setName(elidedToColumns(keys_[s].label, kLabelColumns));
    drawBand(static_cast<int>(s));
  }
  ensureSensors();
  chart_->plot->replot(QCustomPlot::rpQueuedReplot);
}

std::vector<double> TrendPlot::bandLines(int sensor) const {
  std::vector<double> at;
  const auto s = static_cast<std::size_t>(sensor);
  if (s < chart_->bands.size())
    for (const QCPItemStraightLine* band : chart_->bands[s]) at.push_back(band->point1->value());
  return at;
}

void TrendPlot::drawBand(int sensor) {
  Chart& c = *chart_;
  const auto s = static_cast<std::size_t>(sensor);
  for (QCPItemStraightLine* band : c.bands[s]) c.plot->removeItem(band);
  c.bands[s].clear();
  for (const std::optional<double>& edge : {keys_[s].low, keys_[s].high}) {
    if (!edge) continue;
    auto* band = new QCPItemStraightLine(c.plot);
    band->point1->setCoords(0, *edge);
    band->point2->setCoords(1, *edge);
    band->setPen(QPen(kColours[s % kColours.size()], 1, Qt::DashLine));
    band->setVisible(!c.hidden[s]);
    c.bands[s].push_back(band);
  }
}

bool TrendPlot::sensorVisible(int sensor) const {
  const auto s = static_cast<std::size_t>(sensor);
  return s < chart_->hidden.size() && !chart_->hidden[s] && keys_[s].shown;
}

StampSeconds TrendPlot::viewFrom() const {
  return static_cast<StampSeconds>(std::ceil(chart_->plot->xAxis->range().lower));
}

StampSeconds TrendPlot::viewTo() const {
  return static_cast<StampSeconds>(std::floor(chart_->plot->xAxis->range().upper));
}

double TrendPlot::viewLow() const {
  return chart_->plot->yAxis->range().lower;
}

double TrendPlot::viewHigh() const {
  return chart_->plot->yAxis->range().upper;
}

int TrendPlot::chartWidth() const {
  // A widget not shown (a picture drawn without a window, a chart not yet
  // on screen) has its child laid out only when shown, and the axes only at
  // the next replot: until then the width would be that of the default
  // size, and the chart decimated for it. Laid out now at the size asked for.
  QCustomPlot* plot = chart_->plot;
  if (plot->size() != size() || plot->viewport() != plot->rect()) {
    plot->resize(size());
    plot->setViewport(QRect(QPoint(0, 0), size()));
    layOut();
  }
  return plot->axisRect()->width();
}

void TrendPlot::layOut() const {
  QCPLayout* layout = chart_->plot->plotLayout();
  layout->update(QCPLayoutElement::upPreparation);
  layout->update(QCPLayoutElement::upMargins);
  layout->update(QCPLayoutElement::upLayout);
}

QRect TrendPlot::legendEntry(int sensor) const {
  const auto s = static_cast<std::size_t>(sensor);
  if (s >= chart_->lines.size()) return {};
  const auto* item = chart_->plot->legend->itemWithPlottable(chart_->lines[s]);
  if (!item) return {};
  const QRect r = item->outerRect();
  return QRect(chart_->plot->mapTo(this, r.topLeft()), r.size());
}

void TrendPlot::setView(double from, double to) {
  chart_->plot->xAxis->setRange(from, to);  // drawn anew through the range signal
}

void TrendPlot::redraw() {
  chart_->plot->replot(QCustomPlot::rpImmediateRefresh);
}

void TrendPlot::refresh() {
  ensureSensors();
  if (!series_) return;
  Chart& c = *chart_;
  const QCPRange view = c.plot->xAxis->range();
  const ChartRange range{view.lower, view.upper, std::max(1, chartWidth()), ordinary_};
  decimated_ = {series_, series_->size(), range};
  for (int s = 0; s < series_->sensorCount(); ++s) {
    const auto slot = static_cast<std::size_t>(s);
    const DecimatedSensor d = decimate(*series_, s, range);
    c.lines[slot]->setData(toVector(d.x), toVector(d.y));
    // Few lines in view: mark each, so a lone reading between gaps shows.
    const bool sparse = d.x.size() * 3 < static_cast<std::size_t>(range.columns);
    c.lines[slot]->setScatterStyle(sparse ? QCPScatterStyle(QCPScatterStyle::ssDisc, 4)
                                          : QCPScatterStyle());
    c.flags[slot]->setData(toVector(d.flagX), toVector(d.flagY));
    c.lone[slot]->setData(toVector(d.loneX), toVector(d.loneY));
  }
  updateTicks();
  markSetBacks();
  c.plot->replot(QCustomPlot::rpQueuedReplot);
}

void TrendPlot::updateTicks() {
  const double span = chart_->plot->xAxis->range().size();
  chart_->ticker->setDateTimeFormat(span > 3 * kDay ? QStringLiteral("yyyy-MM-dd")
                                    : span > 600.0  ? QStringLiteral("MM-dd\nHH:mm")
                                                    : QStringLiteral("HH:mm:ss"));
}

void TrendPlot::markSetBacks() {
  Chart& c = *chart_;
  for (auto* item : c.setBackLines) c.plot->removeItem(item);
  c.setBackLines.clear();
  if (!series_) return;
  // At the last stamp before the clock went back: where the line turns. A
  // mark every few pixels at most, spread over the whole view.
  const QCPRange view = c.plot->xAxis->range();
  const int most = std::max(kFewestSetBackMarks, chartWidth() / kSetBackMarkPixels);
  for (StampSeconds t : setBackMarks(*series_, view.lower, view.upper, most)) {
    const auto x = static_cast<double>(t);
    auto* mark = new QCPItemStraightLine(c.plot);
    mark->point1->setCoords(x, 0);
    mark->point2->setCoords(x, 1);
    mark->setPen(QPen(Qt::darkGray, 1, Qt::DashLine));
    c.setBackLines.push_back(mark);
  }
}

std::vector<double> TrendPlot::setBackMarkTimes() const {
  std::vector<double> xs;
  for (const auto* mark : chart_->setBackLines) xs.push_back(mark->point1->coords().x());
  return xs;
}

void TrendPlot::fitValues() {
  const QCPRange r = chart_->drawnValues(false).value_or(QCPRange(0, 1));
  const double margin = std::max(0.5, r.size() * 0.05);
  chart_->plot->yAxis->setRange(r.lower - margin, r.upper + margin);
}

void TrendPlot::widenValuesToShow() {
  const auto drawn = chart_->drawnValues(true);
  QCPAxis* values = chart_->plot->yAxis;
  const QCPRange shown = values->range();
  if (!drawn || (drawn->lower >= shown.lower && drawn->upper <= shown.upper)) return;
  const double span = std::max(drawn->upper, shown.upper) - std::min(drawn->lower, shown.lower);
  const double margin = std::max(0.5, span * 0.05);
  values->setRange(drawn->lower < shown.lower ? drawn->lower - margin : shown.lower,
                   drawn->upper > shown.upper ? drawn->upper + margin : shown.upper);
  chart_->plot->replot(QCustomPlot::rpQueuedReplot);
}

void TrendPlot::resetView() {
  ensureSensors();
  refreshing_ = true;
  QCPAxis* time = chart_->plot->xAxis;
  if (series_ && series_->size() > 0) {
    const double from = static_cast<double>(series_->first());
    const double to = static_cast<double>(series_->last());
    const double pad = std::max(30.0, (to - from) * 0.01);
    time->setRange(from - pad, to + pad);
  } else {
    const double now = static_cast<double>(stampOf(QDateTime::currentDateTime()));
    time->setRange(now - kDay, now);
  }
  refreshing_ = false;
  refresh();
  fitValues();
  chart_->plot->replot(QCustomPlot::rpQueuedReplot);
  emit viewChanged();
}

void TrendPlot::followEnd(StampSeconds previousLast) {
  if (!series_ || series_->size() == 0) return;
  const double last = static_cast<double>(series_->last());
  QCPAxis* time = chart_->plot->xAxis;
  const QCPRange r = time->range();
  if (r.upper < static_cast<double>(previousLast)) {
    refresh();  // looking at the past: the view stays where it is
    return;
  }
  if (last > r.upper - r.size() * 0.01)
    time->setRange(last - r.size() * 0.99, last + r.size() * 0.01);
  else
    refresh();
  widenValuesToShow();
}

QByteArray TrendPlot::picture(QSize size, bool svg) {
  QCustomPlot& plot = *chart_->plot;
  const QSize before = plot.size();
  plot.resize(size);
  plot.setViewport(QRect(QPoint(0, 0), size));
  // Lay out at the new size first (the values' labels set the margins), so
  // the columns match the picture; decimated again only when they do not
  // match what the chart holds, as a year's lines take a while to go over.
  layOut();
  const QCPRange view = plot.xAxis->range();
  const Decimated now{
      series_, series_ ? series_->size() : 0,
      ChartRange{view.lower, view.upper, std::max(1, plot.axisRect()->width()), ordinary_}};
  if (!(now == decimated_)) refresh();
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  bool ok = false;
  if (svg) {
    QSvgGenerator generator;
    generator.setOutputDevice(&buffer);
    generator.setSize(size);
    generator.setViewBox(QRect(QPoint(0, 0), size));
    generator.setTitle(QStringLiteral("Temperatures"));
    QCPPainter painter;
    ok = painter.begin(&generator);
    if (ok) {
      plot.toPainter(&painter, size.width(), size.height());
      ok = painter.end();
    }
  } else {
    ok = plot.toPixmap(size.width(), size.height()).toImage().save(&buffer, "PNG");
  }
  // Back to the widget's own size, and decimated for it; a picture at that
  // size (all that an export draws) needs neither.
  if (before != size) {
    plot.resize(before);
    plot.setViewport(plot.rect());
    refresh();
  }
  if (!ok) return {};
  if (svg) {
    // The generator gives the size in millimetres at its own resolution, which
    // other programs draw larger; the picture is as many pixels as asked for.
    static const QRegularExpression sized(
        QStringLiteral(R"(<svg([^>]*?) width="[^"]*" height="[^"]*")"));
    QString text = QString::fromUtf8(bytes);
    text.replace(
        sized,
        QStringLiteral(R"(<svg\1 width="%1" height="%2")").arg(size.width()).arg(size.height()));
    bytes = text.toUtf8();
  }
  return bytes;
}

}  // namespace bw
