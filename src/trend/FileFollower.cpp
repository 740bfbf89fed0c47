#include "trend/FileFollower.h"

#include <sys/stat.h>

namespace bw {

namespace {

constexpr qint64 kChunkBytes = 1 << 16;

}  // namespace

class FileFollower::Sink : public LineSplitter::Sink {
 public:
  explicit Sink(FileFollower& owner) : owner_(owner) {}
  void line(std::string_view line, std::int64_t number) override {
    if (parseLogLine(line, record_)) {
      owner_.take_(record_);
      ++taken;
    } else {
      emit owner_.badLine(number, QStringLiteral("not a log line"));
    }
  }
  void overlong(std::int64_t number) override {
    emit owner_.badLine(number, QStringLiteral("longer than %1 bytes").arg(kMaxLineBytes));
  }
  int taken = 0;

 private:
  FileFollower& owner_;
  LogRecord record_;
};

FileFollower::FileFollower(const QString& path, std::int64_t offset, std::int64_t nextLine,
                           Take take, QObject* parent)
    : QObject(parent),
      path_(path),
      offset_(offset),
      take_(std::move(take)),
      splitter_(nextLine),
      sink_(std::make_unique<Sink>(*this)),
      file_(path) {
  gone_ = !reopen();
  watcher_.addPath(path_);
  connect(&watcher_, &QFileSystemWatcher::fileChanged, this, &FileFollower::check);
  poll_.setInterval(kPoll);
  connect(&poll_, &QTimer::timeout, this, &FileFollower::check);
  poll_.start();
}

FileFollower::~FileFollower() = default;

bool FileFollower::reopen() {
  file_.close();
  if (!file_.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) return false;
  struct stat st {};
  if (::fstat(file_.handle(), &st) != 0) return false;
  device_ = st.st_dev;
  inode_ = st.st_ino;
  return true;
}

void FileFollower::check() {
  struct stat st {};
  if (::stat(QFile::encodeName(path_).constData(), &st) != 0) {
    gone_ = true;  // removed for now; a file that comes back under the name is new
    return;
  }
  if (watcher_.files().isEmpty()) watcher_.addPath(path_);
  const bool other = st.st_dev != device_ || st.st_ino != inode_;
  if (gone_ || other || st.st_size < offset_ + static_cast<std::int64_t>(splitter_.heldBytes())) {
    poll_.stop();
    watcher_.removePaths(watcher_.files());
    emit replaced();
    return;
  }
  if (st.st_size == offset_ + static_cast<std::int64_t>(splitter_.heldBytes())) return;
  if (!file_.seek(offset_ + static_cast<std::int64_t>(splitter_.heldBytes()))) return;
  sink_->taken = 0;
  QByteArray buffer(kChunkBytes, Qt::Uninitialized);
  qint64 got = 0;
  while ((got = file_.read(buffer.data(), kChunkBytes)) > 0) {
    const std::size_t heldBefore = splitter_.heldBytes();
    splitter_.feed(buffer.constData(), static_cast<std::size_t>(got), *sink_);
    offset_ += static_cast<std::int64_t>(heldBefore) + got -
               static_cast<std::int64_t>(splitter_.heldBytes());
  }
  if (sink_->taken > 0) emit appended(sink_->taken);
}

}  // namespace bw
