#pragma once

#include <QObject>
#include <QStringList>
#include <QThread>
#include <atomic>
#include <memory>

#include "trend/LogReading.h"
#include "trend/TrendSeries.h"

namespace bw {

// Reads log files into a new series on a thread of its own, so the window
// goes on drawing and answering while a year is read; it can be cancelled.
class LogLoad : public QObject {
  Q_OBJECT

 public:
  LogLoad(const QStringList& files, bool holdLast, QObject* parent = nullptr);
  ~LogLoad() override;

  void start();
  void cancel() { cancel_ = true; }
  const QStringList& files() const { return files_; }

  // After finished(): the lines read and what the reading found.
  std::unique_ptr<TrendSeries> takeSeries() { return std::move(series_); }
  const ReadReport& report() const { return report_; }

 signals:
  void progress(int permille);
  void finished();

 private:
  QStringList files_;
  bool holdLast_;
  std::atomic_bool cancel_{false};
  std::atomic_int permille_{-1};
  std::unique_ptr<TrendSeries> series_;
  ReadReport report_;
  QThread* thread_ = nullptr;  // a child of the load
};

}  // namespace bw
