#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>

#ifdef _WIN32
#include <QFile>
#include <QSaveFile>
#endif

namespace bw {

// Where an export goes. A regular file, or a name where nothing stands yet,
// is written under a temporary name in its folder and renamed into place
// only once complete, so a failed or cancelled export leaves what stood there
// as it was. A device or a named pipe is written as it is and never replaced;
// "-" and /dev/stdout are standard output, so the CSV goes down a pipe. The
// name is taken by its bytes (see LosslessText.h), as the logs' names are,
// and a failure gives the system's reason.
class ExportTarget {
 public:
  // How much of an existing file is looked through for a log line: its
  // first mebibyte of data, holes left out, decompressed if it is compressed.
  static constexpr std::int64_t kLookedThroughBytes = 1 << 20;

  explicit ExportTarget(const QString& out);
  ~ExportTarget();
  ExportTarget(const ExportTarget&) = delete;
  ExportTarget& operator=(const ExportTarget&) = delete;

  // Why writing `out` would replace a log, naming both: `out` is one of
  // `logs` by any name or link, or a file that holds a log line itself
  // within kLookedThroughBytes, whatever comes before it (the first name of
  // a glob taken for the output, a log whose first line a crash cut); empty
  // when it would not.
  static QString clash(const QString& out, const QStringList& logs);
  // "standard output" for "-" and /dev/stdout, else the name.
  static QString shownName(const QString& out);

  bool open();
  bool write(const char* data, qint64 size);
  bool write(const QByteArray& bytes) { return write(bytes.constData(), bytes.size()); }
  // Puts the whole output in place; until then nothing at the name changed.
  bool commit();
  // "OUT: cannot be written: REASON", the system's reason where it gave one.
  QString errorString() const { return error_; }

 private:
  bool fail(const QString& reason);
  void discard();

  QString out_;
  QString error_;
#ifdef _WIN32
  std::unique_ptr<QSaveFile> save_;  // a regular file, or a new one
  QFile direct_;                     // standard output, a device, a pipe
#else
  int fd_ = -1;
  bool ownFd_ = false;    // not standard output
  QByteArray temporary_;  // the name written under until commit(); empty: written in place
  QByteArray native_;
  std::int64_t written_ = 0;  // bytes of the temporary file
  std::int64_t flushed_ = 0;  // of them, sent on to the disk already
#endif
};

}  // namespace bw
