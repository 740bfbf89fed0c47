#include "acquisition/LogTarget.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#define BW_SYNC(fd) _commit(fd)
#define BW_OPEN_FLAGS (O_WRONLY | O_APPEND | O_CREAT | O_BINARY)
#define BW_READ_FLAGS (O_RDONLY | O_BINARY)
#else
#include <sys/file.h>
#include <sys/sysmacros.h>
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

#ifdef _WIN32

// A lock on one byte far past any end the file will reach: the log's own
// reads and writes stay free, a second logger's lock fails.
std::optional<QString> holdExclusively(int fd, const struct stat&) {
  OVERLAPPED beyond{};
  beyond.Offset = 0xFFFFFFFEu;
  beyond.OffsetHigh = 0x7FFFFFFFu;
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  if (::LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &beyond))
    return std::nullopt;
  return QStringLiteral("another program logs to it");
}

#else

// The process that holds the lock on the file `info` describes, and its
// program, as /proc/locks and /proc/PID/comm tell it; empty where they do not.
struct Holder {
  qint64 pid = 0;
  QString text;  // "brinewatchd, process 1234"
};

Holder lockHolder(const struct stat& info) {
  // Bounded: a system with a great many locks is not read to its end.
  constexpr qint64 kMostRead = 1 << 20;
  QFile locks(QStringLiteral("/proc/locks"));
  if (!locks.open(QIODevice::ReadOnly)) return {};
  // "1: FLOCK  ADVISORY  WRITE 1234 fe:00:10953665 0 EOF"; waiters show "->".
  const QByteArray file = QByteArray::number(major(info.st_dev), 16).rightJustified(2, '0') + ':' +
                          QByteArray::number(minor(info.st_dev), 16).rightJustified(2, '0') + ':' +
                          QByteArray::number(static_cast<qulonglong>(info.st_ino));
  // Read in one go: the file's size reads as 0, so it is read to its end.
  const QByteArray text = locks.read(kMostRead);
  for (const QByteArray& line : text.split('\n')) {
    const QList<QByteArray> fields = line.simplified().split(' ');
    if (fields.size() < 6 || fields[1] == "->" || fields[5] != file) continue;
    const qint64 pid = fields[4].toLongLong();
    if (pid <= 0) return {};
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    const QByteArray name = comm.open(QIODevice::ReadOnly) ? comm.read(64).trimmed() : QByteArray();
    const QString process = QStringLiteral("process %1").arg(pid);
    return {pid, name.isEmpty()
                     ? process
                     : QStringLiteral("%1, %2").arg(QString::fromLocal8Bit(name), process)};
  }
  return {};
}

// An advisory lock for as long as this descriptor is open, so two loggers
// never append to one file: it goes with the open file (flock), not with the
// process, so a second open of the log in this process is refused too, and
// closing another descriptor of the file keeps it.
std::optional<QString> holdExclusively(int fd, const struct stat& info) {
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return std::nullopt;
  if (errno != EWOULDBLOCK) return std::nullopt;  // a file system without locks: log all the same
  const Holder holder = lockHolder(info);
  if (holder.text.isEmpty()) return QStringLiteral("another program logs to it");
  // A writer let go when its log closed, still waiting for the disk.
  if (holder.pid == ::getpid())
    return QStringLiteral("this program still holds it (%1): a record written to it has not ended")
        .arg(holder.text);
  return QStringLiteral("another program logs to it (%1)").arg(holder.text);
}

#endif

// A second descriptor of the regular file that `info` describes, for reading
// its last bytes (the log's own is write-only); -1 for pipes and devices,
// which would give away data or wait when read.
int openReader(const QByteArray& native, const struct stat& info) {
  if (!S_ISREG(info.st_mode)) return -1;
  const int fd = ::open(native.constData(), BW_READ_FLAGS);
  if (fd < 0) return -1;
  struct stat same {};
  if (::fstat(fd, &same) != 0 || same.st_dev != info.st_dev || same.st_ino != info.st_ino) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Up to the last two bytes of a file of `size` bytes.
QByteArray lastTwoBytes(int reader, off_t size) {
  if (reader < 0 || size <= 0) return {};
  const off_t from = size >= 2 ? size - 2 : 0;
  char buffer[2] = {};
#ifdef _WIN32
  if (::lseek(reader, from, SEEK_SET) != from) return {};
  const auto got = ::read(reader, buffer, static_cast<unsigned>(size - from));
#else
  const auto got = ::pread(reader, buffer, static_cast<std::size_t>(size - from), from);
#endif
  return got > 0 ? QByteArray(buffer, static_cast<qsizetype>(got)) : QByteArray();
}

// What a file ending in `tail` needs before a record starts a line of its
// own: nothing after a line end, only the LF after a lone CR, else both.
QByteArray lineEndFor(const QByteArray& tail) {
  if (tail.isEmpty() || tail.endsWith('\n')) return {};
  return tail.endsWith('\r') ? QByteArrayLiteral("\n") : QByteArrayLiteral("\r\n");
}

}  // namespace

std::int64_t LogCalls::write(int fd, const char* data, std::size_t size) {
  return ::write(fd, data, static_cast<unsigned>(size));
}

int LogCalls::sync(int fd) {
  return BW_SYNC(fd);
}

int LogCalls::truncate(int fd, std::int64_t size) {
  return ::ftruncate(fd, static_cast<off_t>(size));
}

LogCalls& systemLogCalls() {
  static LogCalls* const calls = new LogCalls;
  return *calls;
}

LogTarget::LogTarget(LogCalls& calls) : calls_(calls) {}

LogTarget::~LogTarget() {
  close();
}

std::optional<QString> LogTarget::open(const QString& path) {
  close();
  lastError_.clear();
  if (auto reason = openAt(path)) return reason;
  path_ = path;
  return std::nullopt;
}

std::optional<QString> LogTarget::openAt(const QString& path) {
  pendingLineEnd_ = false;
  reopenPending_ = false;
  pendingCut_.reset();
  lastLine_.reset();
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
  // Pipes and devices are left unlocked: several may well write to one.
  if (S_ISREG(info.st_mode)) {
    if (auto held = holdExclusively(fd, info)) {
      ::close(fd);
      return held;
    }
  }
  fd_ = fd;
  reader_ = openReader(native, info);
  return std::nullopt;
}

void LogTarget::close() {
  closeFile();
  reopenPending_ = false;
}

void LogTarget::closeFile() {
  if (reader_ >= 0) ::close(reader_);
  reader_ = -1;
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

std::optional<QString> LogTarget::goneReason() const {
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

bool LogTarget::appendLine(const QByteArray& line) {
  lastLine_.reset();
  if (fd_ < 0 && !reopenPending_) {
    lastError_ = QStringLiteral("the log file is not open");
    return false;
  }
  // The file at the path is the log: one deleted, moved away or replaced
  // since the last record is let go, and the path opened again.
  if (fd_ >= 0 && goneReason()) reopenPending_ = true;
  if (reopenPending_) {
    closeFile();
    if (auto reason = openAt(path_)) {
      reopenPending_ = true;
      lastError_ = *reason;
      return false;
    }
  }
  if (!retryCut()) return false;
  struct stat before {};
  const bool knowSize = ::fstat(fd_, &before) == 0 && S_ISREG(before.st_mode);
  // Whatever ends the file without a line end (an earlier crash, a note
  // added by hand, a tool that cut the file mid-line) is ended first, in the
  // same write, so the record starts a line of its own.
  QByteArray bytes = knowSize && reader_ >= 0 ? lineEndFor(lastTwoBytes(reader_, before.st_size))
                     : pendingLineEnd_        ? QByteArrayLiteral("\r\n")
                                              : QByteArray();
  bytes += line;
  // Whatever part of it made it is taken back, so the file ends as it did.
  if (!writeAll(bytes)) {
    if (!knowSize || !cutBack(before.st_size)) pendingLineEnd_ = true;
    return false;
  }
  pendingLineEnd_ = false;
  if (!sync()) {
    if (knowSize) cutBack(before.st_size);
    return false;
  }
  struct stat after {};
  const bool sized = ::fstat(fd_, &after) == 0;
  // Moved or replaced meanwhile, the file holds the line on the disk all the
  // same, and it counts; the next record goes to the file at the path. One
  // deleted meanwhile took the line with it.
  if (const auto gone = goneReason()) {
    reopenPending_ = true;
    if (!sized || (S_ISREG(after.st_mode) && after.st_nlink == 0)) {
      lastError_ = *gone;
      return false;
    }
  }
  if (knowSize && sized)
    lastLine_ = {static_cast<std::int64_t>(before.st_size),
                 static_cast<std::int64_t>(after.st_size)};
  lastError_.clear();
  return true;
}

void LogTarget::takeBackLastLine() {
  struct stat now {};
  if (!lastLine_ || fd_ < 0 || ::fstat(fd_, &now) != 0 || now.st_size != lastLine_->second) return;
  if (calls_.truncate(fd_, lastLine_->first) == 0) calls_.sync(fd_);
  lastLine_.reset();
}

bool LogTarget::cutBack(std::int64_t size) {
  struct stat with {};
  const bool sized = ::fstat(fd_, &with) == 0;
  if (calls_.truncate(fd_, size) == 0) {
    pendingCut_.reset();
    return true;
  }
  if (sized) pendingCut_ = {size, static_cast<std::int64_t>(with.st_size)};
  return false;
}

bool LogTarget::retryCut() {
  if (!pendingCut_) return true;
  const auto [size, with] = *pendingCut_;
  struct stat now {};
  // Bytes added since by another program stay: cutting them off would lose
  // them. The record left then stays uncounted.
  if (::fstat(fd_, &now) != 0 || now.st_size != with) {
    pendingCut_.reset();
    return true;
  }
  if (calls_.truncate(fd_, size) == 0) {
    pendingCut_.reset();
    return true;
  }
  lastError_ = QStringLiteral("a record that did not reach the disk cannot be taken back: %1")
                   .arg(errnoText(errno));
  return false;
}

bool LogTarget::sync() {
  if (calls_.sync(fd_) != 0 && errno != EINVAL && errno != EROFS) {
    // EINVAL: a device or pipe that cannot be synced; anything else means
    // the line may not be on the disk.
    lastError_ = errnoText(errno);
    return false;
  }
  return true;
}

bool LogTarget::writeAll(const QByteArray& bytes) {
  const char* data = bytes.constData();
  qsizetype left = bytes.size();
  while (left > 0) {
    const auto written = calls_.write(fd_, data, static_cast<std::size_t>(left));
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
