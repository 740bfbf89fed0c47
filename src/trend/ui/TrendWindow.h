#pragma once

#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <QPushButton>
#include <memory>

#include "trend/FileFollower.h"
#include "trend/TrendSeries.h"
#include "trend/ui/LogLoad.h"
#include "trend/ui/StatisticsTable.h"
#include "trend/ui/TrendPlot.h"

class QAction;
class QMenu;

namespace bw {

class CsvExportJob;
class FileChooser;
class MessageBox;
class SettingsStore;

// The services the window works with, made once by the start routine.
struct TrendWindowServices {
  FileChooser& chooser;
  SettingsStore& settings;  // the recent files
  MessageBox& messages;     // what an export could not do
};

// The trend viewer's window: the chart, the cursor read-out, the statistics
// of the range in view, and the file, export and view commands. It holds the
// controls and forwards their events; reading, statistics and the exports'
// writing are done by the logic it calls.
class TrendWindow : public QMainWindow {
  Q_OBJECT

 public:
  explicit TrendWindow(TrendWindowServices services, QWidget* parent = nullptr);
  ~TrendWindow() override;

  // Reads the files anew on a worker thread; Follow goes on for one file.
  void openFiles(const QStringList& files);

  TrendPlot* plot() const { return plot_; }
  const TrendSeries& series() const { return *series_; }
  bool loading() const { return load_ != nullptr; }
  bool following() const { return follower_ != nullptr; }
  QString message() const { return message_->text(); }
  QString cursorText() const { return cursor_->text(); }
  QAction* followAction() const { return follow_; }
  QAction* flaggedAction() const { return flagged_; }
  // The sensors' labels and bands, from the site.
  void setSensorKeys(const SensorKeys& keys);

 signals:
  void loaded();
  void linesAppended();

 protected:
  // An export still being written is cancelled, its thread waited for.
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildMenus();
  void openChosen();
  void startLoad(const QStringList& files);
  void loadFinished();
  void setFollowing(bool on);
  void showCursor(double t);
  void updateStatistics();
  void updateStatus();
  void exportPicture(bool svg);
  void exportCsv();
  void csvFinished(CsvExportJob* job);
  void cancelExports();
  // Refuses an export onto an open log, saying so.
  bool clashes(const QString& out);
  void rememberRecent(const QStringList& files);
  void fillRecentMenu();
  void say(const QString& text, bool problem);
  void showProblem(const QString& text);

  TrendWindowServices services_;
  SensorKeys keys_ = sensorKeys(nullptr);

  std::unique_ptr<TrendSeries> series_;
  QStringList files_;
  std::vector<ReadReport::FileEnd> ends_;
  std::int64_t badLines_ = 0;
  QStringList badReport_;

  TrendPlot* plot_;
  StatisticsTable* table_;
  QLabel* cursor_;
  QLabel* message_;
  QLabel* status_;
  QProgressBar* progress_;
  QPushButton* cancel_;
  QAction* follow_ = nullptr;
  QAction* flagged_ = nullptr;
  QMenu* recent_ = nullptr;
  LogLoad* load_ = nullptr;
  FileFollower* follower_ = nullptr;
  bool firstView_ = true;
  bool waiting_ = false;        // one empty log open: its lines are still to come
  bool noLines_ = false;        // "not a Brinewatch log" is shown
  bool recentRefused_ = false;  // the settings refused the recent files once
  StampSeconds shownLast_ = 0;  // the latest stamp before lines were appended
};

}  // namespace bw
