#include "trend/ui/LogLoad.h"

#include "trend/SeriesReading.h"

namespace bw {

LogLoad::LogLoad(const QStringList& files, bool holdLast, QObject* parent)
    : QObject(parent),
      files_(files),
      holdLast_(holdLast),
      series_(std::make_unique<TrendSeries>()) {}

LogLoad::~LogLoad() {
  if (thread_) {
    cancel_ = true;
    thread_->wait();
  }
}

void LogLoad::start() {
  thread_ = QThread::create([this] {
    // Rotated logs come in any order of names: read in the order of their lines.
    files_ = inTimeOrder(files_);
    SeriesReadOptions options;
    options.holdLast = holdLast_;
    options.cancel = &cancel_;
    options.progress = [this](std::int64_t done, std::int64_t total) {
      const int permille = total > 0 ? static_cast<int>(done * 1000 / total) : 1000;
      if (permille_.exchange(permille) != permille)
        QMetaObject::invokeMethod(
            this, [this, permille] { emit progress(permille); }, Qt::QueuedConnection);
    };
    report_ = readSeries(files_, *series_, options);
  });
  thread_->setParent(this);
  // Queued to this thread: the series and the report are taken where the
  // load lives.
  connect(thread_, &QThread::finished, this, &LogLoad::finished);
  thread_->start();
}

}  // namespace bw
