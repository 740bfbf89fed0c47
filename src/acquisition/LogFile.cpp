#include "acquisition/LogFile.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

#include "logformat/RecordLine.h"
#include "platform/Clock.h"

#ifdef _WIN32
#include <io.h>
#define BW_SYNC(fd) _commit(fd)
#define BW_OPEN_FLAGS (O_WRONLY | O_APPEND | O_CREAT | O_BINARY)
#define BW_READ_FLAGS (O_RDONLY | O_BINARY)
#else
#define BW_SYNC(fd) ::fdatasync(fd)
#define BW_OPEN_FLAGS (O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOCTTY)
#define BW_READ_FLAGS (O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)
#endif

namespace bw {

namespace {

QString errnoText(int error) {
  switch (error) {
    case ENXIO:
      return QStringLiteral("nothing reads from it (a pipe or device without a reader)");
    case EAGAIN:
      return QStringLiteral("it takes no more data now (it would have to wait)");
    case EPIPE:
      return QStringLiteral("its reader went away");
    default:
      return QString::fromLocal8Bit(std::strerror(error));
  }
}

// The last two bytes of the regular file that `info` describes, read through a
// second descriptor of the same file (the log's own is write-only). Never
// for pipes or devices: reading those would take data or wait.
QByteArray lastTwoBytes(const QByteArray& native, const struct stat& info) {
  if (!S_ISREG(info.st_mode) || info.st_size == 0) return {};
  const int fd = ::open(native.constData(), BW_READ_FLAGS);
  if (fd < 0) return {};
  QByteArray tail;
  struct stat same {};
  if (::fstat(fd, &same) == 0 && same.st_dev == info.st_dev && same.st_ino == info.st_ino) {
    const off_t size = same.st_size;
    const off_t from = size >= 2 ? size - 2 : 0;
    char buffer[2] = {};
    const auto got = ::lseek(fd, from, SEEK_SET) == from
                         ? ::read(fd, buffer, static_cast<unsigned>(size - from))
                         : -1;
    if (got > 0) tail = QByteArray(buffer, static_cast<qsizetype>(got));
  }
  ::close(fd);
  return tail;
}

}  // namespace

LogFile::LogFile(const Clock& clock) : clock_(clock) {}

LogFile::~LogFile() {
  close();
}

std::optional<QString> LogFile::open(const QString& path) {
  close();
  lastError_.clear();
  if (auto reason = openAt(path)) return reason;
  path_ = path;
  return std::nullopt;
}

std::optional<QString> LogFile::openAt(const QString& path) {
  pendingLineEnd_ = false;
  reopenPending_ = false;
  const QByteArray native = QFile::encodeName(path);
  // Never waits: a pipe without a reader fails at once (ENXIO), and a write
  // that would have to wait fails with EAGAIN, so the GUI thread is never
  // held by the log target.
  const int fd = ::open(native.constData(), BW_OPEN_FLAGS, 0644);
  if (fd < 0) return errnoText(errno);
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    const int error = errno;
    ::close(fd);
    return errnoText(error);
  }
  if (S_ISDIR(info.st_mode)) {
    ::close(fd);
    return errnoText(EISDIR);
  }
  fd_ = fd;
  // A last line cut by an earlier crash is completed: after a lone CR only
  // the LF is missing.
  const QByteArray tail = lastTwoBytes(native, info);
  if (!tail.isEmpty() && !tail.endsWith('\n')) {
    const QByteArray end =
        tail.endsWith('\r') ? QByteArrayLiteral("\n") : QByteArrayLiteral("\r\n");
    if (!writeAll(end) || !sync()) {
      const QString reason = lastError_;
      close();
      return reason;
    }
  }
  return std::nullopt;
}

void LogFile::close() {
  if (fd_ < 0) return;
  ::close(fd_);
  fd_ = -1;
  reopenPending_ = false;
}

bool LogFile::writeRecord(const Readings& readings, int count) {
  return appendLine(recordLine(clock_.now(), readings.data(), count));
}

std::optional<QString> LogFile::goneReason() const {
  struct stat open {};
  if (::fstat(fd_, &open) != 0) return errnoText(errno);
  if (S_ISREG(open.st_mode) && open.st_nlink == 0)
    return QStringLiteral("the file was deleted; it is made again for the next record");
  struct stat atPath {};
  if (::stat(QFile::encodeName(path_).constData(), &atPath) != 0 || atPath.st_dev != open.st_dev ||
      atPath.st_ino != open.st_ino)
    return QStringLiteral("the file was moved or replaced; it is opened again for the next record");
  return std::nullopt;
}

bool LogFile::appendLine(const QByteArray& line) {
  if (fd_ < 0 && !reopenPending_) {
    lastError_ = QStringLiteral("the log file is not open");
    return false;
  }
  // The file at the path is the log: one deleted, moved away or replaced
  // since the last record is let go, and the path opened again.
  if (fd_ >= 0 && goneReason()) reopenPending_ = true;
  if (reopenPending_) {
    if (fd_ >= 0) {
      ::close(fd_);
      fd_ = -1;
    }
    if (auto reason = openAt(path_)) {
      reopenPending_ = true;
      lastError_ = *reason;
      return false;
    }
  }
  if (pendingLineEnd_) {
    if (!writeAll(QByteArrayLiteral("\r\n"))) return false;
    pendingLineEnd_ = false;
  }
  struct stat before {};
  const bool knowSize = ::fstat(fd_, &before) == 0 && S_ISREG(before.st_mode);
  if (!writeAll(line)) {
    // Take back whatever part of the line made it, so the next record starts
    // on a line of its own.
    if (!knowSize || ::ftruncate(fd_, before.st_size) != 0) pendingLineEnd_ = true;
    return false;
  }
  if (!sync()) return false;
  // The file went meanwhile; the next record opens the path again. Moved
  // away (a rotation) it holds the line; deleted, the line is lost.
  if (const auto gone = goneReason()) {
    reopenPending_ = true;
    struct stat after {};
    if (::fstat(fd_, &after) != 0 || (S_ISREG(after.st_mode) && after.st_nlink == 0)) {
      lastError_ = *gone;
      return false;
    }
  }
  lastError_.clear();
  return true;
}

bool LogFile::sync() {
  if (BW_SYNC(fd_) != 0 && errno != EINVAL && errno != EROFS) {
    // EINVAL: a device or pipe that cannot be synced; anything else means
    // the line may not be on the disk.
    lastError_ = errnoText(errno);
    return false;
  }
  return true;
}

bool LogFile::writeAll(const QByteArray& bytes) {
  const char* data = bytes.constData();
  qsizetype left = bytes.size();
  while (left > 0) {
    const auto written = ::write(fd_, data, static_cast<size_t>(left));
    if (written < 0) {
      if (errno == EINTR) continue;
      lastError_ = errnoText(errno);
      return false;
    }
    if (written == 0) {
      lastError_ = errnoText(ENOSPC);
      return false;
    }
    data += written;
    left -= written;
  }
  return true;
}

}  // namespace bw
