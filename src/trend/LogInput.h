#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

#include "trend/Decompression.h"

namespace bw {

// Which file a name stands for, links followed: two names are the same file
// when their identities are equal (a hard link, a symbolic link, the same
// path written two ways).
struct FileIdentity {
  unsigned long long device = 0;
  unsigned long long inode = 0;
  bool operator==(const FileIdentity& o) const { return device == o.device && inode == o.inode; }
  bool operator!=(const FileIdentity& o) const { return !(*this == o); }
};

// What changes whenever a file is written: its size and the times of its
// last change, to the nanosecond where the file system keeps them.
struct FileStamp {
  std::int64_t size = 0;
  std::int64_t modifiedNs = 0;
  std::int64_t changedNs = 0;  // the status change time, which no one can set back
  bool operator==(const FileStamp& o) const {
    return size == o.size && modifiedNs == o.modifiedNs && changedNs == o.changedNs;
  }
  bool operator!=(const FileStamp& o) const { return !(*this == o); }
};

// The identity of the file at `path`, links followed; none when nothing is there.
std::optional<FileIdentity> identityOf(const QString& path);
// The identity of what an open descriptor (standard output, say) writes to.
std::optional<FileIdentity> identityOfDescriptor(int fd);

// A log file opened for reading. Opening never waits (a named pipe without a
// writer, a device) and takes only a regular file: a pipe, a device or
// anything else that could stall a read or never end is refused. The size is
// taken when it is opened; what is appended later is not read unless asked for.
class LogInput {
 public:
  LogInput() = default;
  ~LogInput();
  LogInput(LogInput&& other) noexcept;
  LogInput& operator=(LogInput&& other) noexcept;
  LogInput(const LogInput&) = delete;
  LogInput& operator=(const LogInput&) = delete;

  // Empty on success, else "PATH: reason" ("no such file", "is a folder, not
  // a log file", "not a regular file", or the system's reason).
  QString open(const QString& path);
  // The same, but the file is only looked at now (its size and identity
  // taken) and opened when it is read: more logs than may be open at once
  // are read one after the other. acquire() opens it for reading, release()
  // closes it again; a file opened with open() stays open throughout.
  QString openLater(const QString& path);
  QString acquire();
  void release();
  void close();
  // Ready to be read: open, or to be opened when it is.
  bool isOpen() const { return fd_ >= 0 || later_; }
  const QString& path() const { return path_; }

  // The size when opened.
  std::int64_t size() const { return size_; }
  FileIdentity identity() const { return identity_; }
  // How the file is stored, told by its first bytes once it is open.
  Compression compression() const { return compression_; }
  // The open file's size now, and its stamp.
  std::optional<std::int64_t> sizeNow() const;
  std::optional<FileStamp> stampNow() const;

  // Reads up to `max` bytes at `offset`; the count, 0 at the end, -1 on an
  // error (errorText() says why).
  std::int64_t readAt(std::int64_t offset, char* data, std::int64_t max);
  // The same, safe from several threads at once; the reason of an error
  // goes to `error`.
  std::int64_t readAt(std::int64_t offset, char* data, std::int64_t max, QString& error) const;
  // Where data stands again at or after `offset`: past a hole (a stretch
  // of the file never written, as a truncation under a writer leaves) the
  // reading need not read its zeros. `offset` itself where the file system
  // cannot tell; `end` when only a hole is left before it.
  std::int64_t dataFrom(std::int64_t offset, std::int64_t end) const;
  // The bytes [from, to), or fewer at the end of the file.
  QByteArray bytes(std::int64_t from, std::int64_t to);
  QString errorText() const { return error_; }
  // Told again from the file's first bytes.
  void detectCompression();
  // Whether open() failed for want of descriptors, the limit of open files reached.
  bool outOfDescriptors() const { return outOfDescriptors_; }

 private:
  int fd_ = -1;
  bool later_ = false;  // opened by acquire(), closed by release()
  bool outOfDescriptors_ = false;
  QString path_;
  std::int64_t size_ = 0;
  FileIdentity identity_;
  Compression compression_ = Compression::kNone;
  QString error_;
};

}  // namespace bw
