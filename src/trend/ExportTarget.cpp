#include "trend/ExportTarget.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "logformat/LogRecord.h"
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

// Whether the regular file at `path` begins with a whole log line.
bool startsWithLogLine(const QString& path) {
  LogInput file;
  if (!file.open(path).isEmpty()) return false;
  const QByteArray start = file.bytes(0, static_cast<std::int64_t>(kMaxLineBytes) + 2);
  qsizetype end = start.indexOf('\n');
  if (end > 0 && start[end - 1] == '\r') --end;
  LogRecord record;
  return end > 0 &&
         parseLogLine(std::string_view(start.constData(), static_cast<std::size_t>(end)), record);
}

}  // namespace

ExportTarget::ExportTarget(const QString& out) : out_(out) {}

ExportTarget::~ExportTarget() {
  if (save_) save_->cancelWriting();  // the temporary file goes, the old one stays
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
  if (!isStandardOutput(out) && startsWithLogLine(out))
    return QStringLiteral("%1 is a Brinewatch log (writing it would replace the log)").arg(out);
  return {};
}

bool ExportTarget::fail(const QString& reason) {
  error_ = QStringLiteral("%1: cannot be written: %2").arg(shownName(out_), reason);
  return false;
}

bool ExportTarget::open() {
  if (isStandardOutput(out_)) {
    if (!direct_.open(fileno(stdout), QIODevice::WriteOnly, QFileDevice::DontCloseHandle))
      return fail(direct_.errorString());
    return true;
  }
#ifndef _WIN32
  struct stat st {};
  const QByteArray native = losslessBytes(out_);
  if (::stat(native.constData(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return fail(QStringLiteral("it is a folder"));
    if (!S_ISREG(st.st_mode)) {
      // Written into, never replaced; opened without waiting for a reader.
      const int fd = ::open(native.constData(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
      if (fd < 0) return fail(systemReason(errno));
      // From here on a slow reader holds the export back, as a pipe should.
      ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
      if (!direct_.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return fail(direct_.errorString());
      }
      return true;
    }
  }
#endif
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
  if (device.write(data, size) != size) return fail(device.errorString());
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

}  // namespace bw
