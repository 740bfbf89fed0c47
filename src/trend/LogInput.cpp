#include "trend/LogInput.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <utility>

#include "trend/LosslessText.h"

#ifdef _WIN32
#include <io.h>
#include <QFileInfo>
#include <QHash>
#else
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace bw {

namespace {

#ifdef _WIN32
using StatBuffer = struct _stat64;
int statOf(const QString& path, StatBuffer& st) {
  return ::_wstat64(reinterpret_cast<const wchar_t*>(path.utf16()), &st);
}
int fstatOf(int fd, StatBuffer& st) {
  return ::_fstat64(fd, &st);
}
int openForReading(const QString& path) {
  return ::_wopen(reinterpret_cast<const wchar_t*>(path.utf16()), _O_RDONLY | _O_BINARY);
}
// Windows gives no inode: the canonical path stands for the file.
FileIdentity identityFrom(const QString& path, const StatBuffer& st) {
  return {static_cast<unsigned long long>(st.st_dev),
          qHash(QFileInfo(path).canonicalFilePath().toCaseFolded())};
}
#else
using StatBuffer = struct stat;
int statOf(const QString& path, StatBuffer& st) {
  return ::stat(losslessBytes(path).constData(), &st);
}
int fstatOf(int fd, StatBuffer& st) {
  return ::fstat(fd, &st);
}
int openForReading(const QString& path) {
  // O_NONBLOCK: a named pipe without a writer opens at once instead of
  // holding the program; it is then refused as not a regular file.
  return ::open(losslessBytes(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
}
FileIdentity identityFrom(const QString&, const StatBuffer& st) {
  return {static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino)};
}
#endif

QString reason(const QString& path, int error) {
  switch (error) {
    case ENOENT:
      return QStringLiteral("%1: no such file").arg(path);
    case EISDIR:
      return QStringLiteral("%1: is a folder, not a log file").arg(path);
#ifndef _WIN32
    case EMFILE: {
      // Every log given is open at once: say how many may be.
      rlimit limit{};
      if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) break;
      return QStringLiteral("%1: %2 (no more than %3 files may be open at once; see ulimit -n)")
          .arg(path, QString::fromLocal8Bit(std::strerror(error)))
          .arg(static_cast<qulonglong>(limit.rlim_cur));
    }
#endif
    default:
      break;
  }
  return QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(error)));
}

}  // namespace

std::optional<FileIdentity> identityOf(const QString& path) {
  StatBuffer st{};
  if (statOf(path, st) != 0) return std::nullopt;
  return identityFrom(path, st);
}

std::optional<FileIdentity> identityOfDescriptor(int fd) {
#ifdef _WIN32
  Q_UNUSED(fd);
  return std::nullopt;
#else
  StatBuffer st{};
  if (fstatOf(fd, st) != 0) return std::nullopt;
  return identityFrom(QString(), st);
#endif
}

LogInput::~LogInput() {
  close();
}

LogInput::LogInput(LogInput&& other) noexcept {
  *this = std::move(other);
}

LogInput& LogInput::operator=(LogInput&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = std::exchange(other.fd_, -1);
    later_ = std::exchange(other.later_, false);
    outOfDescriptors_ = other.outOfDescriptors_;
    path_ = std::move(other.path_);
    size_ = other.size_;
    identity_ = other.identity_;
    compression_ = other.compression_;
    error_ = std::move(other.error_);
  }
  return *this;
}

QString LogInput::open(const QString& path) {
  close();
  path_ = path;
  outOfDescriptors_ = false;
  const int fd = openForReading(path);
  if (fd < 0) {
    outOfDescriptors_ = errno == EMFILE || errno == ENFILE;
    return error_ = reason(path, errno);
  }
  StatBuffer st{};
  if (fstatOf(fd, st) != 0) {
    error_ = reason(path, errno);
    ::close(fd);
    return error_;
  }
  if (S_ISDIR(st.st_mode) || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return error_ = S_ISDIR(st.st_mode) ? reason(path, EISDIR)
                                        : QStringLiteral("%1: not a regular file").arg(path);
  }
  fd_ = fd;
  size_ = static_cast<std::int64_t>(st.st_size);
  identity_ = identityFrom(path, st);
  error_.clear();
  detectCompression();
  return {};
}

void LogInput::detectCompression() {
  char magic[kMagicBytes];
  QString ignored;
  const std::int64_t got = fd_ >= 0 ? readAt(0, magic, std::min(kMagicBytes, size_), ignored) : 0;
  compression_ = compressionOf(magic, std::max<std::int64_t>(got, 0));
}

QString LogInput::openLater(const QString& path) {
  close();
  path_ = path;
  StatBuffer st{};
  if (statOf(path, st) != 0) return error_ = reason(path, errno);
  if (S_ISDIR(st.st_mode)) return error_ = reason(path, EISDIR);
  if (!S_ISREG(st.st_mode)) return error_ = QStringLiteral("%1: not a regular file").arg(path);
  later_ = true;
  size_ = static_cast<std::int64_t>(st.st_size);
  identity_ = identityFrom(path, st);
  error_.clear();
  return {};
}

QString LogInput::acquire() {
  if (!later_ || fd_ >= 0) return {};
  const int fd = openForReading(path_);
  if (fd < 0) return error_ = reason(path_, errno);
  StatBuffer st{};
  if (fstatOf(fd, st) != 0 || identityFrom(path_, st) != identity_) {
    ::close(fd);
    return error_ = QStringLiteral("%1: another file stands under the name since it was looked at")
                        .arg(path_);
  }
  fd_ = fd;
  detectCompression();
  return {};
}

void LogInput::release() {
  if (later_ && fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

void LogInput::close() {
  later_ = false;
  if (fd_ < 0) return;
  ::close(fd_);
  fd_ = -1;
}

std::optional<std::int64_t> LogInput::sizeNow() const {
  StatBuffer st{};
  if (fd_ < 0 || fstatOf(fd_, st) != 0) return std::nullopt;
  return static_cast<std::int64_t>(st.st_size);
}

std::optional<FileStamp> LogInput::stampNow() const {
  StatBuffer st{};
  if (fd_ < 0 || fstatOf(fd_, st) != 0) return std::nullopt;
  FileStamp stamp;
  stamp.size = static_cast<std::int64_t>(st.st_size);
#ifdef _WIN32
  stamp.modifiedNs = static_cast<std::int64_t>(st.st_mtime) * 1'000'000'000;
  stamp.changedNs = static_cast<std::int64_t>(st.st_ctime) * 1'000'000'000;
#else
  const auto ns = [](const timespec& t) {
    return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
  };
  stamp.modifiedNs = ns(st.st_mtim);
  stamp.changedNs = ns(st.st_ctim);
#endif
  return stamp;
}

std::int64_t LogInput::readAt(std::int64_t offset, char* data, std::int64_t max) {
  return readAt(offset, data, max, error_);
}

std::int64_t LogInput::readAt(std::int64_t offset, char* data, std::int64_t max,
                              QString& error) const {
  if (fd_ < 0) {
    error = error_.isEmpty() ? QStringLiteral("%1: not open").arg(path_) : error_;
    return -1;
  }
  while (true) {
#ifdef _WIN32
    // A seek and a read: one thread at a time, or one would read where
    // another sought.
    static std::mutex seeking;
    const std::lock_guard<std::mutex> lock(seeking);
    const auto got =
        ::_lseeki64(fd_, offset, SEEK_SET) == offset
            ? ::_read(fd_, data, static_cast<unsigned>(std::min<std::int64_t>(max, 1 << 30)))
            : -1;
#else
    const auto got = ::pread(fd_, data, static_cast<std::size_t>(max), static_cast<off_t>(offset));
#endif
    if (got >= 0) return static_cast<std::int64_t>(got);
    if (errno == EINTR) continue;
    error = reason(path_, errno);
    return -1;
  }
}

std::int64_t LogInput::dataFrom(std::int64_t offset, std::int64_t end) const {
#if defined(SEEK_DATA) && !defined(_WIN32)
  if (fd_ < 0 || offset >= end) return offset;
  const off_t data = ::lseek(fd_, static_cast<off_t>(offset), SEEK_DATA);
  if (data >= 0) return std::min(static_cast<std::int64_t>(data), end);
  if (errno != ENXIO) return offset;
  // Nothing but a hole to the end of the file, or the file ends before
  // `offset` now: that the reading must find for itself.
  const auto now = sizeNow();
  return now && *now >= end ? end : offset;
#else
  Q_UNUSED(end);
  return offset;
#endif
}

QByteArray LogInput::bytes(std::int64_t from, std::int64_t to) {
  QByteArray out(static_cast<qsizetype>(std::max<std::int64_t>(to - from, 0)), Qt::Uninitialized);
  std::int64_t done = 0;
  while (done < out.size()) {
    const std::int64_t got = readAt(from + done, out.data() + done, out.size() - done);
    if (got <= 0) break;
    done += got;
  }
  out.truncate(static_cast<qsizetype>(done));
  return out;
}

}  // namespace bw
