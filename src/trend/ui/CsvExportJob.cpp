#include "trend/ui/CsvExportJob.h"

#include <QThread>

namespace bw {

CsvExportJob::CsvExportJob(const QStringList& logs, const QString& out, const StampFilter& filter,
                           QObject* parent)
    : QObject(parent), logs_(logs), out_(out), filter_(filter) {}

CsvExportJob::~CsvExportJob() {
  if (!thread_) return;
  cancel_ = true;
  thread_->wait();
}

void CsvExportJob::start() {
  thread_ = QThread::create([this] { result_ = writeCsv(logs_, out_, filter_, &cancel_); });
  thread_->setParent(this);
  // Queued to this thread: the result is read where the job lives.
  connect(thread_, &QThread::finished, this, &CsvExportJob::finished);
  thread_->start();
}

}  // namespace bw
