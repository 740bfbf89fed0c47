#include "trend/ui/TrendWindow.h"

#include <QFileInfo>
#include <QMenuBar>
#include <QSplitter>
#include <QStatusBar>
#include <QVBoxLayout>

#include "platform/FileChooser.h"
#include "platform/MessageBox.h"
#include "platform/desktop/SettingsStore.h"
#include "trend/ExportTarget.h"
#include "trend/RangeStatistics.h"
#include "trend/ui/CsvExportJob.h"

namespace bw {

namespace {

const QString kLogFilter = QStringLiteral("Log files (*.log *.txt *.dat);;All files (*)");
const QString kTitle = QStringLiteral("Brinewatch Trend");

// The recent files, absolute paths, as keys File1 (the most recent) to File8
// of one section; a key no file has yet holds an empty value.
constexpr int kRecentFiles = 8;
const QString kSettingsApplication = QStringLiteral("Trend");
const QString kRecentSection = QStringLiteral("RecentFiles");

QString recentKey(int index) {
  return QStringLiteral("File%1").arg(index + 1);
}

// Every recent-file key's value, empty ones too.
QStringList storedRecent(const SettingsStore& settings) {
  QStringList values;
  for (int i = 0; i < kRecentFiles; ++i)
    values << settings.getSetting(kSettingsApplication, kRecentSection, recentKey(i));
  return values;
}

QString filesTitle(const QStringList& files) {
  if (files.isEmpty()) return kTitle;
  const QString first = QFileInfo(files.first()).fileName();
  return files.size() == 1
             ? QStringLiteral("%1 – %2").arg(first, kTitle)
             : QStringLiteral("%1 and %2 more – %3").arg(first).arg(files.size() - 1).arg(kTitle);
}

QString reading(float v) {
  if (std::isnan(v)) return QStringLiteral("–");
  const QString text = QString::number(static_cast<double>(v), 'g', 7);
  return isFlagged(v) ? text + QStringLiteral(" (flagged)") : text;
}

}  // namespace

TrendWindow::TrendWindow(TrendWindowServices services, QWidget* parent)
    : QMainWindow(parent),
      services_(services),
      series_(std::make_unique<TrendSeries>()),
      plot_(new TrendPlot),
      table_(new StatisticsTable),
      cursor_(new QLabel),
      message_(new QLabel),
      status_(new QLabel),
      progress_(new QProgressBar),
      cancel_(new QPushButton(QStringLiteral("Cancel"))) {
  setWindowTitle(filesTitle({}));
  message_->setWordWrap(true);
  message_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  message_->hide();
  cursor_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  cursor_->setWordWrap(true);
  cursor_->setObjectName(QStringLiteral("cursorReadout"));
  plot_->setMinimumSize(400, 250);
  plot_->setSeries(series_.get());
  plot_->setToolTip(QStringLiteral("Wheel: zoom · drag: move · Shift+drag: zoom to a box"));

  auto* chartSide = new QWidget;
  auto* layout = new QVBoxLayout(chartSide);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(message_);
  layout->addWidget(plot_, 1);
  layout->addWidget(cursor_);
  auto* splitter = new QSplitter(Qt::Horizontal);
  splitter->addWidget(chartSide);
  splitter->addWidget(table_);
  splitter->setStretchFactor(0, 1);
  table_->setMinimumWidth(380);
  setCentralWidget(splitter);

  progress_->setRange(0, 1000);
  progress_->setMaximumWidth(200);
  statusBar()->addWidget(status_, 1);
  statusBar()->addPermanentWidget(progress_);
  statusBar()->addPermanentWidget(cancel_);
  progress_->hide();
  cancel_->hide();
  connect(cancel_, &QPushButton::clicked, this, [this] {
    if (load_) load_->cancel();
  });

  buildMenus();
  connect(plot_, &TrendPlot::viewChanged, this, &TrendWindow::updateStatistics);
  connect(plot_, &TrendPlot::cursorAt, this, &TrendWindow::showCursor);
  plot_->resetView();
  resize(1100, 650);
}

TrendWindow::~TrendWindow() {
  // While the window is whole: no export's end can reach it afterwards.
  cancelExports();
}

void TrendWindow::closeEvent(QCloseEvent* event) {
  cancelExports();
  QMainWindow::closeEvent(event);
}

void TrendWindow::buildMenus() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  file->addAction(QStringLiteral("&Open…"), QKeySequence::Open, this, &TrendWindow::openChosen)
      ->setObjectName(QStringLiteral("actionOpen"));
  recent_ = file->addMenu(QStringLiteral("Open &Recent"));
  recent_->setObjectName(QStringLiteral("menuRecent"));
  fillRecentMenu();
  QMenu* exportMenu = file->addMenu(QStringLiteral("&Export"));
  exportMenu->addAction(QStringLiteral("&PNG Picture…"), this, [this] { exportPicture(false); })
      ->setObjectName(QStringLiteral("actionExportPng"));
  exportMenu->addAction(QStringLiteral("&SVG Picture…"), this, [this] { exportPicture(true); })
      ->setObjectName(QStringLiteral("actionExportSvg"));
  exportMenu->addAction(QStringLiteral("&CSV of the Range in View…"), this, &TrendWindow::exportCsv)
      ->setObjectName(QStringLiteral("actionExportCsv"));
  file->addSeparator();
  file->addAction(QStringLiteral("E&xit"), QKeySequence::Quit, this, &QWidget::close)
      ->setObjectName(QStringLiteral("actionExit"));

  QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
  follow_ = view->addAction(QStringLiteral("&Follow"));
  follow_->setObjectName(QStringLiteral("actionFollow"));
  follow_->setCheckable(true);
  follow_->setEnabled(false);
  follow_->setStatusTip(QStringLiteral("Show lines as they are appended to the file"));
  connect(follow_, &QAction::toggled, this, &TrendWindow::setFollowing);
  flagged_ = view->addAction(QStringLiteral("Count -1, -2 and 85 as &Readings"));
  flagged_->setObjectName(QStringLiteral("actionFlagged"));
  flagged_->setCheckable(true);
  flagged_->setStatusTip(QStringLiteral(
      "Draw and count the logger's marks and the power-up value as ordinary readings"));
  connect(flagged_, &QAction::toggled, this, [this](bool on) {
    plot_->setFlaggedAsOrdinary(on);
    updateStatistics();
  });
  view->addAction(QStringLiteral("Reset &View"), QKeySequence(Qt::Key_Home), plot_,
                  &TrendPlot::resetView)
      ->setObjectName(QStringLiteral("actionResetView"));
}

void TrendWindow::openChosen() {
  const QStringList files =
      services_.chooser.chooseFilesToOpen(this, QStringLiteral("Open Log Files"), kLogFilter);
  if (!files.isEmpty()) openFiles(files);
}

void TrendWindow::openFiles(const QStringList& files) {
  firstView_ = true;
  rememberRecent(files);
  startLoad(files);
}

void TrendWindow::startLoad(const QStringList& files) {
  delete follower_;
  follower_ = nullptr;
  delete load_;
  load_ = new LogLoad(files, true, this);
  connect(load_, &LogLoad::progress, progress_, &QProgressBar::setValue);
  connect(load_, &LogLoad::finished, this, &TrendWindow::loadFinished);
  progress_->setValue(0);
  progress_->show();
  cancel_->show();
  status_->setText(QStringLiteral("Reading…"));
  load_->start();
}

void TrendWindow::loadFinished() {
  LogLoad* load = load_;
  load_ = nullptr;
  load->deleteLater();
  progress_->hide();
  cancel_->hide();
  const ReadReport& report = load->report();
  if (report.cancelled) {
    say(QStringLiteral("Reading cancelled; the chart shows what it showed before."), false);
    setFollowing(follow_->isChecked());
    return;
  }
  files_ = load->files();
  setWindowTitle(filesTitle(files_));
  series_ = load->takeSeries();
  plot_->setSeries(series_.get());
  ends_ = report.ends;
  badLines_ = report.bad.count();
  badReport_ = report.bad.report();
  QStringList problems = report.errors;
  // An empty log (a new one, or one just truncated) is a log whose lines are
  // still to come.
  waiting_ = report.lines == 0 && badLines_ == 0 && report.errors.isEmpty() && files_.size() == 1;
  noLines_ = report.lines == 0 && !waiting_ && report.errors.size() < files_.size();
  if (noLines_)
    problems << QStringLiteral("No log lines found: %1 is not a Brinewatch log.")
                    .arg(files_.size() == 1 ? QFileInfo(files_.first()).fileName()
                                            : QStringLiteral("none of the files"));
  problems << report.bad.stopReport();  // lines were not read: never left unsaid
  if (badLines_ > 0)
    problems << QStringLiteral("%1 lines are not log lines and were left out (first: %2).")
                    .arg(badLines_)
                    .arg(badReport_.value(0));
  if (!problems.isEmpty())
    say(problems.join(u'\n'), true);
  else
    say(waiting_ ? QStringLiteral("Waiting for lines…") : QString(), false);

  if (firstView_) {
    plot_->resetView();
    firstView_ = false;
  } else {
    plot_->refresh();
  }
  updateStatistics();
  // The live log is the last in time order; its rotated, compressed
  // predecessors are never written to again.
  const bool live = report.errors.isEmpty() && !ends_.empty() && !ends_.back().compressed &&
                    ends_.back().path == files_.last();
  follow_->setEnabled(live);
  if (live && !follow_->isChecked())
    follow_->setChecked(true);  // starts following through the toggle
  else
    setFollowing(live && follow_->isChecked());
  updateStatus();
  emit loaded();
}

void TrendWindow::setFollowing(bool on) {
  delete follower_;
  follower_ = nullptr;
  if (!on || loading() || ends_.empty() || ends_.back().compressed) {
    updateStatus();
    return;
  }
  shownLast_ = series_->last();
  follower_ = new FileFollower(
      ends_.back(), [this](const LogRecord& r) { series_->append(r); }, this);
  connect(follower_, &FileFollower::appended, this, [this] {
    if (waiting_ || noLines_) {
      waiting_ = noLines_ = false;
      say({}, false);
    }
    plot_->followEnd(shownLast_);
    shownLast_ = series_->last();
    updateStatistics();
    updateStatus();
    emit linesAppended();
  });
  connect(follower_, &FileFollower::badLine, this, [this](std::int64_t line, const QString& why) {
    ++badLines_;
    if (badReport_.size() < 20)
      badReport_ << QStringLiteral("%1:%2: %3").arg(ends_.back().path).arg(line).arg(why);
    updateStatus();
  });
  connect(follower_, &FileFollower::replaced, this, [this] {
    say(QStringLiteral("The file was truncated or replaced; reading it again from the start."),
        false);
    follower_->deleteLater();
    follower_ = nullptr;
    startLoad(files_);
  });
  updateStatus();
}

void TrendWindow::showCursor(double t) {
  if (series_->size() == 0) return;
  QString text = stampDateTime(static_cast<StampSeconds>(std::llround(t)))
                     .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
  const std::size_t at = series_->nearest(t);
  if (at < series_->size()) {
    text += QStringLiteral("  ·  line at ") +
            stampDateTime(series_->stamps()[at]).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    for (int s = 0; s < series_->sensorCount(); ++s) {
      if (!plot_->sensorVisible(s)) continue;
      text += QStringLiteral("  ·  %1: %2").arg(s + 1).arg(reading(series_->values(s)[at]));
    }
  }
  cursor_->setText(text);
}

void TrendWindow::updateStatistics() {
  std::vector<bool> visible;
  for (int s = 0; s < series_->sensorCount(); ++s) visible.push_back(plot_->sensorVisible(s));
  table_->showStatistics(
      rangeStatistics(*series_, plot_->viewFrom(), plot_->viewTo(), flagged_->isChecked(), keys_),
      visible, keys_);
}

void TrendWindow::setSensorKeys(const SensorKeys& keys) {
  keys_ = keys;
  plot_->setSensorKeys(keys);
  updateStatistics();
}

void TrendWindow::updateStatus() {
  QString text = QStringLiteral("%L1 lines").arg(series_->size());
  if (badLines_ > 0) text += QStringLiteral(", %L1 not log lines").arg(badLines_);
  if (follower_) text += QStringLiteral(" · following");
  status_->setText(text);
  status_->setToolTip(badReport_.join(u'\n'));
}

void TrendWindow::say(const QString& text, bool problem) {
  message_->setText(text);
  message_->setStyleSheet(problem ? QStringLiteral("color: #a00000;") : QString());
  message_->setVisible(!text.isEmpty());
}

void TrendWindow::showProblem(const QString& text) {
  services_.messages.show(this, text, MessageStyle::Ok, kTitle);
}

bool TrendWindow::clashes(const QString& out) {
  const QString clash = ExportTarget::clash(out, files_);
  if (!clash.isEmpty()) showProblem(QStringLiteral("Not exported: %1.").arg(clash));
  return !clash.isEmpty();
}

void TrendWindow::exportPicture(bool svg) {
  const QString path = services_.chooser.chooseFileToSave(
      this, svg ? QStringLiteral("Export SVG") : QStringLiteral("Export PNG"),
      svg ? QStringLiteral("SVG pictures (*.svg)") : QStringLiteral("PNG pictures (*.png)"));
  if (path.isEmpty() || clashes(path)) return;
  const QByteArray picture = plot_->picture(plot_->size(), svg);
  ExportTarget target(path);
  if (!picture.isEmpty() && target.open() && target.write(picture) && target.commit())
    say(QStringLiteral("Saved %1.").arg(QFileInfo(path).fileName()), false);
  else
    showProblem(picture.isEmpty() ? QStringLiteral("%1: the chart could not be drawn.").arg(path)
                                  : target.errorString());
}

void TrendWindow::exportCsv() {
  const QString path = services_.chooser.chooseFileToSave(this, QStringLiteral("Export CSV"),
                                                          QStringLiteral("CSV files (*.csv)"));
  if (path.isEmpty() || files_.isEmpty() || clashes(path)) return;
  auto* job = new CsvExportJob(files_, path, StampFilter{plot_->viewFrom(), plot_->viewTo()}, this);
  connect(job, &CsvExportJob::finished, this, [this, job] { csvFinished(job); });
  say(QStringLiteral("Writing %1…").arg(QFileInfo(path).fileName()), false);
  job->start();
}

void TrendWindow::csvFinished(CsvExportJob* job) {
  job->deleteLater();
  const CsvResult& result = job->result();
  if (!result.writeError.isEmpty() || !result.report.errors.isEmpty()) {
    say({}, false);
    showProblem(QStringList(result.report.errors + QStringList(result.writeError)).join(u'\n'));
  } else if (result.report.lines == 0) {
    say({}, false);
    showProblem(QStringLiteral("No log line lies in the range in view; nothing written."));
  } else {
    say(QStringLiteral("Wrote %L1 lines to %2.")
            .arg(result.report.lines)
            .arg(QFileInfo(job->out()).fileName()),
        false);
  }
}

void TrendWindow::cancelExports() {
  // Each waits for its thread; the output stays as it stood.
  qDeleteAll(findChildren<CsvExportJob*>(QString(), Qt::FindDirectChildrenOnly));
}

void TrendWindow::rememberRecent(const QStringList& files) {
  const QStringList before = storedRecent(services_.settings);
  QStringList recent = before;
  recent.removeAll(QString());
  for (const QString& f : files) {
    const QString absolute = QFileInfo(f).absoluteFilePath();
    recent.removeAll(absolute);
    recent.prepend(absolute);
  }
  while (recent.size() > kRecentFiles) recent.removeLast();
  for (int i = 0; i < kRecentFiles; ++i) {
    if (recent.value(i) == before.value(i)) continue;
    const auto failure = services_.settings.saveSetting(kSettingsApplication, kRecentSection,
                                                        recentKey(i), recent.value(i));
    if (!failure) continue;
    // Once a window: the files open all the same, only the list is not kept.
    if (!recentRefused_) showProblem(*failure);
    recentRefused_ = true;
    break;
  }
  fillRecentMenu();
}

void TrendWindow::fillRecentMenu() {
  recent_->clear();
  QStringList recent = storedRecent(services_.settings);
  recent.removeAll(QString());
  for (const QString& f : recent) recent_->addAction(f, this, [this, f] { openFiles({f}); });
  recent_->setEnabled(!recent.isEmpty());
}

}  // namespace bw
