#include "trend/FileFollower.h"

#include <QDateTime>

#include "trend/RecordSink.h"

namespace bw {

namespace {

constexpr std::int64_t kChunkBytes = 1 << 16;
// Longer than any file system's tick for its times.
constexpr std::int64_t kSettledNs = 2'000'000'000;

}  // namespace

class FileFollower::Sink : public LineSplitter::Sink {
 public:
  explicit Sink(FileFollower& owner) : owner_(owner) {}
  void line(std::string_view line, std::int64_t number) override {
    if (parseLogLine(line, record_)) return take();
    const std::string_view after = afterLastZero(line);
    if (after.size() < line.size() && parseLogLine(after, record_)) {
      emit owner_.badLine(number,
                          leftOutBefore(static_cast<std::int64_t>(line.size() - after.size())));
      return take();
    }
    emit owner_.badLine(number, QStringLiteral("not a log line"));
  }
  void overlong(std::int64_t number, std::int64_t bytes, std::string_view afterZeros) override {
    if (!afterZeros.empty() && parseLogLine(afterZeros, record_)) {
      emit owner_.badLine(number,
                          leftOutBefore(bytes - static_cast<std::int64_t>(afterZeros.size())));
      return take();
    }
    emit owner_.badLine(number, overlongReason(bytes));
  }
  int taken = 0;

 private:
  void take() {
    owner_.take_(record_);
    ++taken;
  }
  FileFollower& owner_;
  LogRecord record_;
};

FileFollower::FileFollower(const ReadReport::FileEnd& end, Take take, QObject* parent)
    : QObject(parent),
      path_(end.path),
      offset_(end.offset),
      nextLine_(end.nextLine),
      samples_(end.samples),
      take_(std::move(take)) {
  gone_ = !input_.open(path_).isEmpty();
  watcher_.addPath(path_);
  connect(&watcher_, &QFileSystemWatcher::fileChanged, this, &FileFollower::check);
  poll_.setInterval(kPoll);
  connect(&poll_, &QTimer::timeout, this, &FileFollower::check);
  poll_.start();
}

FileFollower::~FileFollower() = default;

void FileFollower::stop() {
  poll_.stop();
  watcher_.removePaths(watcher_.files());
}

FileFollower::Look FileFollower::look() {
  const auto atPath = identityOf(path_);
  if (!atPath) {
    gone_ = true;  // removed for now; a file that comes back under the name is new
    return Look::kGone;
  }
  if (gone_ || *atPath != input_.identity()) return Look::kReplaced;
  const auto stamp = input_.stampNow();
  if (!stamp) return Look::kReplaced;
  // Not written since it last held the samples and was read to its end.
  if (settled_ && stamp == seen_) return Look::kUnchanged;
  if (stamp->size < offset_ || !samples_.matches(input_)) return Look::kReplaced;
  // A file system keeps its times at a coarse tick: a write within the tick
  // of the one before may leave them as they were. Only times older than any
  // tick are trusted to stand for the bytes.
  const std::int64_t now = QDateTime::currentMSecsSinceEpoch() * 1'000'000;
  seen_ = stamp;
  settled_ = std::max(stamp->modifiedNs, stamp->changedNs) < now - kSettledNs;
  return Look::kChanged;
}

void FileFollower::check() {
  if (!poll_.isActive()) return;
  const Look seen = look();
  if (seen == Look::kReplaced) {
    stop();
    emit replaced();
    return;
  }
  if (seen != Look::kChanged) return;
  if (watcher_.files().isEmpty()) watcher_.addPath(path_);
  const auto size = input_.sizeNow();
  if (!size || *size == offset_) return;
  // From the last whole line on: a half line read before is read again whole.
  LineSplitter splitter(nextLine_);
  Sink sink(*this);
  QByteArray buffer(kChunkBytes, Qt::Uninitialized);
  std::int64_t at = offset_;
  while (at < *size) {
    const std::int64_t data = input_.dataFrom(at, *size);
    if (data > at) {
      splitter.feedZeros(data - at);
      at = data;
      continue;
    }
    const std::int64_t got = input_.readAt(at, buffer.data(), std::min(kChunkBytes, *size - at));
    if (got <= 0) break;
    splitter.feed(buffer.constData(), static_cast<std::size_t>(got), sink);
    at += got;
  }
  const std::int64_t lineEnd = at - splitter.heldBytes();
  if (lineEnd != offset_) {
    offset_ = lineEnd;
    nextLine_ = splitter.nextLineNumber();
    samples_ = ContentSamples::of(input_, offset_);
    settled_ = false;  // the samples are new: the stamp they go with is the next check's
  }
  if (sink.taken > 0) emit appended(sink.taken);
}

}  // namespace bw
