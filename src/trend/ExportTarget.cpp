#include "trend/ExportTarget.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <QRandomGenerator>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "logformat/LogRecord.h"
#include "trend/Decompression.h"
#include "trend/LogInput.h"
#include "trend/LosslessText.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace bw {

namespace {

bool isStandardOutput(const QString& out) {
  return out == u"-" || out == u"/dev/stdout";
}

QString systemReason(int error) {
  if (error == ENXIO) return QStringLiteral("nothing reads from it");
  return QString::fromLocal8Bit(std::strerror(error));
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// Whether `line` ends in a whole log line, whatever stands before it on the
// line (the rest of a line a crash cut, zeros, a byte-order mark).
bool endsInLogLine(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  LogRecord record;
  const std::size_t from = line.size() > kMaxLineBytes ? line.size() - kMaxLineBytes : 0;
  for (std::size_t at = from; at + 10 < line.size(); ++at)
    if (isDigit(line[at]) && line[at + 4] == '-' && line[at + 7] == '-' &&
        parseLogLine(line.substr(at), record))
      return true;
  return false;
}

// Whether the regular file at `path` holds a log line within its first
// ExportTarget::kLookedThroughBytes of data, decompressed where it is a
// compressed log.
bool holdsLogLine(const QString& path) {
  const QByteArray start = contentStart(path, ExportTarget::kLookedThroughBytes);
  const std::string_view text(start.constData(), static_cast<std::size_t>(start.size()));
  for (std::size_t begin = 0; begin < text.size();) {
    std::size_t end = text.find('\n', begin);
    if (end == std::string_view::npos) end = text.size();
    if (endsInLogLine(text.substr(begin, end - begin))) return true;
    begin = end + 1;
  }
  return false;
}

#ifndef _WIN32
// A symbolic link stays a link: what it points at is replaced, even where
// nothing stands there yet.
QByteArray resolvedLinks(const QByteArray& path) {
  QByteArray at = path;
  for (int hop = 0; hop < 40; ++hop) {
    struct stat st {};
    if (::lstat(at.constData(), &st) != 0 || !S_ISLNK(st.st_mode)) return at;
    if (char* real = ::realpath(at.constData(), nullptr)) {
      const QByteArray resolved(real);
      std::free(real);
      return resolved;
    }
    QByteArray target(static_cast<qsizetype>(st.st_size > 0 ? st.st_size : PATH_MAX), '\0');
    const ssize_t length =
        ::readlink(at.constData(), target.data(), static_cast<std::size_t>(target.size()));
    if (length <= 0) return at;
    target.truncate(length);
    const qsizetype slash = at.lastIndexOf('/');
    at = target.startsWith('/') || slash < 0 ? target : at.left(slash + 1) + target;
  }
  return at;
}
#endif

}  // namespace

ExportTarget::ExportTarget(const QString& out) : out_(out) {}

ExportTarget::~ExportTarget() {
  discard();  // the temporary file goes, the old one stays
}

QString ExportTarget::shownName(const QString& out) {
  return isStandardOutput(out) ? QStringLiteral("standard output") : out;
}

QString ExportTarget::clash(const QString& out, const QStringList& logs) {
  const auto target =
      isStandardOutput(out) ? identityOfDescriptor(fileno(stdout)) : identityOf(out);
  if (!target) return {};
  for (const QString& log : logs)
    if (identityOf(log) == target)
      return QStringLiteral("%1 is the log %2 (writing it would replace the log)")
          .arg(shownName(out), log);
  if (!isStandardOutput(out) && holdsLogLine(out))
    return QStringLiteral("%1 holds log lines (writing it would replace the log)").arg(out);
  return {};
}

bool ExportTarget::fail(const QString& reason) {
  error_ = QStringLiteral("%1: cannot be written: %2").arg(shownName(out_), reason);
  return false;
}

#ifdef _WIN32

void ExportTarget::discard() {
  if (save_) save_->cancelWriting();
  save_.reset();
}

bool ExportTarget::open() {
  if (isStandardOutput(out_)) {
    if (!direct_.open(fileno(stdout), QIODevice::WriteOnly, QFileDevice::DontCloseHandle))
      return fail(direct_.errorString());
    return true;
  }
  save_ = std::make_unique<QSaveFile>(out_);
  if (!save_->open(QIODevice::WriteOnly)) {
    const QString reason = save_->errorString();
    save_.reset();
    return fail(reason);
  }
  return true;
}

bool ExportTarget::write(const char* data, qint64 size) {
  QFileDevice& device = save_ ? static_cast<QFileDevice&>(*save_) : direct_;
  if (!device.isOpen()) return fail(QStringLiteral("not open"));
  if (device.write(data, size) != size || !device.flush()) return fail(device.errorString());
  return true;
}

bool ExportTarget::commit() {
  if (save_) {
    const bool ok = save_->commit();
    const QString reason = save_->errorString();
    save_.reset();
    return ok || fail(reason);
  }
  if (!direct_.flush()) return fail(direct_.errorString());
  direct_.close();
  return true;
}

#else

// Written with the system's calls rather than Qt's files: the name goes to
// the system as the bytes given, and every failure keeps its errno (a full
// disk says so, a file size limit too, where a buffered write would lose it).

void ExportTarget::discard() {
  if (ownFd_ && fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temporary_.isEmpty()) ::unlink(temporary_.constData());
  temporary_.clear();
}

bool ExportTarget::open() {
  discard();
  written_ = flushed_ = 0;
  if (isStandardOutput(out_)) {
    fd_ = fileno(stdout);
    ownFd_ = false;
    return true;
  }
  native_ = resolvedLinks(losslessBytes(out_));
  ownFd_ = true;
  struct stat st {};
  const bool exists = ::stat(native_.constData(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) return fail(QStringLiteral("it is a folder"));
  if (exists && !S_ISREG(st.st_mode)) {
    // Written into, never replaced; opened without waiting for a reader.
    fd_ = ::open(native_.constData(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd_ < 0) return fail(systemReason(errno));
    // From here on a slow reader holds the export back, as a pipe should.
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
    return true;
  }
  // A name beside it that no one else takes: created, never opened if there.
  const qsizetype slash = native_.lastIndexOf('/');
  const QByteArray folder = slash < 0 ? QByteArray() : native_.left(slash + 1);
  const QByteArray base = native_.mid(slash + 1);
  for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
    temporary_ = folder + '.' + base + '.' +
                 QByteArray::number(QRandomGenerator::global()->generate(), 36) + ".part";
    fd_ = ::open(temporary_.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd_ < 0 && errno != EEXIST) break;
  }
  if (fd_ < 0) {
    const int error = errno;
    temporary_.clear();
    return fail(systemReason(error));
  }
  // A file replaced keeps its permissions; a new one gets what the umask leaves.
  if (exists) ::fchmod(fd_, st.st_mode & 07777);
  return true;
}

bool ExportTarget::write(const char* data, qint64 size) {
  if (fd_ < 0) return fail(QStringLiteral("not open"));
  while (size > 0) {
    const ssize_t done = ::write(fd_, data, static_cast<std::size_t>(size));
    if (done < 0 && errno == EINTR) continue;
    if (done < 0) return fail(systemReason(errno));
    data += done;
    size -= done;
    written_ += done;
  }
#ifdef __linux__
  // What is written goes on to the disk while the rest is made, without
  // waiting for it: the sync before the rename has less left to wait for.
  constexpr std::int64_t kSentOnBytes = 8 << 20;
  if (!temporary_.isEmpty() && written_ - flushed_ >= kSentOnBytes) {
    ::sync_file_range(fd_, flushed_, written_ - flushed_, SYNC_FILE_RANGE_WRITE);
    flushed_ = written_;
  }
#endif
  return true;
}

bool ExportTarget::commit() {
  if (fd_ < 0) return fail(QStringLiteral("not open"));
  if (temporary_.isEmpty()) {
    const int fd = std::exchange(fd_, -1);
    if (ownFd_ && ::close(fd) != 0 && errno != EINTR) return fail(systemReason(errno));
    return true;
  }
  // On the disk before the name points at it: a crash leaves the old file
  // or the whole new one. The disk may say only now that it is full.
  const int fd = std::exchange(fd_, -1);
  int error = 0;
  if (::fsync(fd) != 0 && errno != EINVAL) error = errno;
  if (::close(fd) != 0 && error == 0 && errno != EINTR) error = errno;
  if (error == 0 && ::rename(temporary_.constData(), native_.constData()) != 0) error = errno;
  if (error != 0) {
    discard();
    return fail(systemReason(error));
  }
  temporary_.clear();
  return true;
}

#endif

}  // namespace bw
