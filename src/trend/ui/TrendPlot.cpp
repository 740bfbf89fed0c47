#include "trend/ui/TrendPlot.h"

#include <QBuffer>
#include <QRegularExpression>
#include <QSvgGenerator>
#include <algorithm>
#include <cmath>

namespace bw {

namespace {

// Sixteen colours that stay apart on white.
const std::array<QColor, kMaxReadings> kColours = {
    QColor(31, 119, 180),  QColor(255, 127, 14), QColor(44, 160, 44),   QColor(214, 39, 40),
    QColor(148, 103, 189), QColor(140, 86, 75),  QColor(227, 119, 194), QColor(127, 127, 127),
    QColor(188, 189, 34),  QColor(23, 190, 207), QColor(0, 0, 128),     QColor(128, 0, 0),
    QColor(0, 128, 128),   QColor(128, 128, 0),  QColor(255, 0, 255),   QColor(0, 0, 0)};

constexpr int kMostSetBackMarks = 200;
constexpr double kDay = 86400.0;

QVector<double> toVector(const std::vector<double>& v) {
  return QVector<double>(v.begin(), v.end());
}

}  // namespace

TrendPlot::TrendPlot(QWidget* parent) : QCustomPlot(parent) {
  setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
  axisRect()->setRangeZoom(Qt::Horizontal | Qt::Vertical);
  axisRect()->setRangeDrag(Qt::Horizontal | Qt::Vertical);
  setNotAntialiasedElements(QCP::aePlottables);
  ticker_.reset(new QCPAxisTickerDateTime);
  ticker_->setDateTimeSpec(Qt::UTC);  // stamps are wall-clock seconds already
  xAxis->setTicker(ticker_);
  yAxis->setLabel(QStringLiteral("°C"));
  legend->setVisible(true);
  legend->setSelectableParts(QCPLegend::spItems);
  legend->setFont(QFont(font().family(), 8));
  axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignLeft);
  flagKey_ = addGraph();
  flagKey_->setName(QStringLiteral("flagged reading (-1, -2, 85)"));
  flagKey_->setLineStyle(QCPGraph::lsNone);
  flagKey_->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCross, Qt::black, 7));
  connect(this, &QCustomPlot::legendClick, this,
          [this](QCPLegend*, QCPAbstractLegendItem* item, QMouseEvent*) {
            auto* entry = qobject_cast<QCPPlottableLegendItem*>(item);
            if (!entry) return;
            for (std::size_t s = 0; s < lines_.size(); ++s)
              if (entry->plottable() == lines_[s])
                setSensorVisible(static_cast<int>(s), !sensorVisible(static_cast<int>(s)));
          });
  connect(xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this, [this] {
    if (refreshing_) return;
    refresh();
    emit viewChanged();
  });
}

void TrendPlot::setSeries(const TrendSeries* series) {
  series_ = series;
  ensureSensors();
}

void TrendPlot::ensureSensors() {
  const int count = series_ ? series_->sensorCount() : 0;
  while (static_cast<int>(lines_.size()) < count) {
    const auto s = lines_.size();
    const QColor colour = kColours[s % kColours.size()];
    auto* line = new QCPCurve(xAxis, yAxis);
    line->setName(QStringLiteral("Sensor %1").arg(s + 1));
    line->setPen(QPen(colour, 1));
    auto* flags = addGraph();
    flags->setLineStyle(QCPGraph::lsNone);
    flags->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCross, colour, 7));
    flags->removeFromLegend();
    auto* lone = addGraph();
    lone->setLineStyle(QCPGraph::lsNone);
    lone->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDisc, colour, colour, 5));
    lone->removeFromLegend();
    lines_.push_back(line);
    flags_.push_back(flags);
    lone_.push_back(lone);
    hidden_.push_back(false);
  }
  // Sensors beyond what the data holds (a smaller file opened) leave the legend.
  for (std::size_t s = 0; s < lines_.size(); ++s) {
    const bool present = static_cast<int>(s) < count;
    if (present && !legend->hasItemWithPlottable(lines_[s])) lines_[s]->addToLegend();
    if (!present) lines_[s]->removeFromLegend();
    lines_[s]->setVisible(present && !hidden_[s]);
    flags_[s]->setVisible(present && !hidden_[s]);
    lone_[s]->setVisible(present && !hidden_[s]);
  }
  flagKey_->removeFromLegend();
  flagKey_->addToLegend();
}

void TrendPlot::setFlaggedAsOrdinary(bool ordinary) {
  ordinary_ = ordinary;
  refresh();
}

void TrendPlot::setSensorVisible(int sensor, bool visible) {
  const auto s = static_cast<std::size_t>(sensor);
  if (s >= lines_.size()) return;
  hidden_[s] = !visible;
  lines_[s]->setVisible(visible);
  flags_[s]->setVisible(visible);
  lone_[s]->setVisible(visible);
  if (auto* item = legend->itemWithPlottable(lines_[s]))
    item->setTextColor(visible ? Qt::black : Qt::gray);
  replot(rpQueuedReplot);
  emit viewChanged();
}

bool TrendPlot::sensorVisible(int sensor) const {
  const auto s = static_cast<std::size_t>(sensor);
  return s < hidden_.size() && !hidden_[s];
}

StampSeconds TrendPlot::viewFrom() const {
  return static_cast<StampSeconds>(std::ceil(xAxis->range().lower));
}

StampSeconds TrendPlot::viewTo() const {
  return static_cast<StampSeconds>(std::floor(xAxis->range().upper));
}

void TrendPlot::refresh() {
  ensureSensors();
  if (!series_) return;
  const ChartRange range{xAxis->range().lower, xAxis->range().upper,
                         std::max(1, axisRect()->width()), ordinary_};
  for (int s = 0; s < series_->sensorCount(); ++s) {
    const auto slot = static_cast<std::size_t>(s);
    const DecimatedSensor d = decimate(*series_, s, range);
    lines_[slot]->setData(toVector(d.x), toVector(d.y));
    // Few lines in view: mark each, so a lone reading between gaps shows.
    const bool sparse = d.x.size() * 3 < static_cast<std::size_t>(range.columns);
    lines_[slot]->setScatterStyle(sparse ? QCPScatterStyle(QCPScatterStyle::ssDisc, 4)
                                         : QCPScatterStyle());
    flags_[slot]->setData(toVector(d.flagX), toVector(d.flagY));
    lone_[slot]->setData(toVector(d.loneX), toVector(d.loneY));
  }
  updateTicks();
  markSetBacks();
  replot(rpQueuedReplot);
}

void TrendPlot::updateTicks() {
  const double span = xAxis->range().size();
  ticker_->setDateTimeFormat(span > 3 * kDay ? QStringLiteral("yyyy-MM-dd")
                             : span > 600.0  ? QStringLiteral("MM-dd\nHH:mm")
                                             : QStringLiteral("HH:mm:ss"));
}

void TrendPlot::markSetBacks() {
  for (auto* item : setBackLines_) removeItem(item);
  setBackLines_.clear();
  if (!series_) return;
  const auto& stamps = series_->stamps();
  for (std::size_t index : series_->setBacks()) {
    if (setBackLines_.size() == kMostSetBackMarks) break;
    // At the last stamp before the clock went back: where the line turns.
    const double x = static_cast<double>(stamps[index - 1]);
    if (!xAxis->range().contains(x)) continue;
    auto* mark = new QCPItemStraightLine(this);
    mark->point1->setCoords(x, 0);
    mark->point2->setCoords(x, 1);
    mark->setPen(QPen(Qt::darkGray, 1, Qt::DashLine));
    setBackLines_.push_back(mark);
  }
}

std::optional<QCPRange> TrendPlot::drawnValues(bool inViewOnly) const {
  std::optional<QCPRange> range;
  const QCPRange keys = inViewOnly ? xAxis->range() : QCPRange();
  for (std::size_t s = 0; s < lines_.size(); ++s) {
    if (!lines_[s]->visible()) continue;
    for (QCPAbstractPlottable* p : {static_cast<QCPAbstractPlottable*>(lines_[s]),
                                    static_cast<QCPAbstractPlottable*>(flags_[s]),
                                    static_cast<QCPAbstractPlottable*>(lone_[s])}) {
      bool found = false;
      const QCPRange r = p->getValueRange(found, QCP::sdBoth, keys);
      if (!found) continue;
      range =
          range ? QCPRange(std::min(range->lower, r.lower), std::max(range->upper, r.upper)) : r;
    }
  }
  return range;
}

void TrendPlot::fitValues() {
  const QCPRange r = drawnValues(false).value_or(QCPRange(0, 1));
  const double margin = std::max(0.5, r.size() * 0.05);
  yAxis->setRange(r.lower - margin, r.upper + margin);
}

void TrendPlot::widenValuesToShow() {
  const auto drawn = drawnValues(true);
  const QCPRange shown = yAxis->range();
  if (!drawn || (drawn->lower >= shown.lower && drawn->upper <= shown.upper)) return;
  const double span = std::max(drawn->upper, shown.upper) - std::min(drawn->lower, shown.lower);
  const double margin = std::max(0.5, span * 0.05);
  yAxis->setRange(drawn->lower < shown.lower ? drawn->lower - margin : shown.lower,
                  drawn->upper > shown.upper ? drawn->upper + margin : shown.upper);
  replot(rpQueuedReplot);
}

void TrendPlot::resetView() {
  ensureSensors();
  refreshing_ = true;
  if (series_ && series_->size() > 0) {
    const double from = static_cast<double>(series_->first());
    const double to = static_cast<double>(series_->last());
    const double pad = std::max(30.0, (to - from) * 0.01);
    xAxis->setRange(from - pad, to + pad);
  } else {
    const double now = static_cast<double>(stampOf(QDateTime::currentDateTime()));
    xAxis->setRange(now - kDay, now);
  }
  refreshing_ = false;
  refresh();
  fitValues();
  replot(rpQueuedReplot);
  emit viewChanged();
}

void TrendPlot::followEnd(StampSeconds previousLast) {
  if (!series_ || series_->size() == 0) return;
  const double last = static_cast<double>(series_->last());
  const QCPRange r = xAxis->range();
  if (r.upper < static_cast<double>(previousLast)) {
    refresh();  // looking at the past: the view stays where it is
    return;
  }
  if (last > r.upper - r.size() * 0.01)
    xAxis->setRange(last - r.size() * 0.99, last + r.size() * 0.01);
  else
    refresh();
  widenValuesToShow();
}

void TrendPlot::mousePressEvent(QMouseEvent* event) {
  // Shift and drag draws a box to zoom into; a plain drag moves the view.
  setSelectionRectMode(event->modifiers() & Qt::ShiftModifier ? QCP::srmZoom : QCP::srmNone);
  QCustomPlot::mousePressEvent(event);
}

void TrendPlot::mouseMoveEvent(QMouseEvent* event) {
  QCustomPlot::mouseMoveEvent(event);
  if (axisRect()->rect().contains(event->pos()))
    emit cursorAt(xAxis->pixelToCoord(event->position().x()));
}

QByteArray TrendPlot::picture(QSize size, bool svg) {
  const QSize before = this->size();
  resize(size);
  setViewport(QRect(QPoint(0, 0), size));
  // Lay out at the new size first, so the columns match the picture.
  replot(rpImmediateRefresh);
  refresh();
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
      toPainter(&painter, size.width(), size.height());
      ok = painter.end();
    }
  } else {
    ok = toPixmap(size.width(), size.height()).toImage().save(&buffer, "PNG");
  }
  resize(before);
  setViewport(rect());
  refresh();
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
