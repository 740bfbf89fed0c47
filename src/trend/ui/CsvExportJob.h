#pragma once

#include <QObject>
#include <QStringList>
#include <atomic>

#include "trend/CsvExport.h"

class QThread;

namespace bw {

// Writes the CSV of logs on a thread of its own, so the window goes on
// answering while a year is written. Destroying the job cancels the writing
// and waits for its thread: the output is left as it stood, with no
// temporary file beside it.
class CsvExportJob : public QObject {
  Q_OBJECT

 public:
  CsvExportJob(const QStringList& logs, const QString& out, const StampFilter& filter,
               QObject* parent = nullptr);
  ~CsvExportJob() override;

  void start();
  void cancel() { cancel_ = true; }
  const QString& out() const { return out_; }
  // After finished(): what was read and written.
  const CsvResult& result() const { return result_; }

 signals:
  void finished();

 private:
  QStringList logs_;
  QString out_;
  StampFilter filter_;
  std::atomic_bool cancel_{false};
  CsvResult result_;
  QThread* thread_ = nullptr;  // a child of the job
};

}  // namespace bw
