#pragma once

#include <QByteArray>
#include <QFile>
#include <QSaveFile>
#include <QString>
#include <QStringList>
#include <memory>

namespace bw {

// Where an export goes. A regular file, or a name where nothing stands yet,
// is written under a temporary name in its folder and renamed into place
// only once complete, so a failed or cancelled export leaves what stood there
// as it was. A device or a named pipe is written as it is and never replaced;
// "-" and /dev/stdout are standard output, so the CSV goes down a pipe.
class ExportTarget {
 public:
  explicit ExportTarget(const QString& out);
  ~ExportTarget();
  ExportTarget(const ExportTarget&) = delete;
  ExportTarget& operator=(const ExportTarget&) = delete;

  // Why writing `out` would replace a log, naming both: `out` is one of
  // `logs` by any name or link, or a file that holds log lines itself (the
  // first name of a glob taken for the output); empty when it would not.
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

  QString out_;
  std::unique_ptr<QSaveFile> save_;  // a regular file, or a new one
  QFile direct_;                     // standard output, a device, a pipe
  QString error_;
};

}  // namespace bw
