#include "acquisition/LogFile.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

#include "acquisition/RecordLine.h"
#include "platform/Clock.h"

#ifdef _WIN32
#include <io.h>
#define BW_SYNC(fd) _commit(fd)
#define BW_OPEN_FLAGS (O_WRONLY | O_APPEND | O_CREAT | O_BINARY)
#else
#define BW_SYNC(fd) ::fdatasync(fd)
#define BW_OPEN_FLAGS (O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC)
#endif

namespace bw {

namespace {

QString errnoText(int error) {
  return QString::fromLocal8Bit(std::strerror(error));
}

// The last byte of the file at `path`, if it has one.
std::optional<char> lastByte(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly) || file.size() == 0) return std::nullopt;
  if (!file.seek(file.size() - 1)) return std::nullopt;
  char c = 0;
  if (file.read(&c, 1) != 1) return std::nullopt;
  return c;
}

}  // namespace

LogFile::LogFile(const Clock& clock) : clock_(clock) {}

LogFile::~LogFile() {
  close();
}

std::optional<QString> LogFile::open(const QString& path) {
  close();
  lastError_.clear();
  pendingLineEnd_ = false;
  const QByteArray native = QFile::encodeName(path);
  const int fd = ::open(native.constData(), BW_OPEN_FLAGS, 0644);
  if (fd < 0) return errnoText(errno);
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
    ::close(fd);
    return errnoText(EISDIR);
  }
  fd_ = fd;
  path_ = path;
  const auto last = lastByte(path);
  if (last && *last != '\n' && !appendLine(QByteArrayLiteral("\r\n"))) {
    const QString reason = lastError_;
    close();
    return reason;
  }
  return std::nullopt;
}

void LogFile::close() {
  if (fd_ < 0) return;
  ::close(fd_);
  fd_ = -1;
}

bool LogFile::writeRecord(const Readings& readings, int count) {
  return appendLine(recordLine(clock_.now(), readings, count));
}

bool LogFile::appendLine(const QByteArray& line) {
  if (fd_ < 0) {
    lastError_ = QStringLiteral("the log file is not open");
    return false;
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
  if (BW_SYNC(fd_) != 0 && errno != EINVAL && errno != EROFS) {
    // EINVAL: a device or pipe that cannot be synced; anything else means
    // the line may not be on the disk.
    lastError_ = errnoText(errno);
    return false;
  }
  lastError_.clear();
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
