#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QRandomGenerator>
#include <QString>
#include <QTemporaryDir>

#include "logformat/RecordLine.h"

namespace bw::test {

// Log lines as the logger writes them, and files of them in a folder that
// goes with the fixture.
inline QByteArray logLine(const QDateTime& stamp, std::initializer_list<float> values) {
  std::array<float, kMaxReadings> r{};
  int i = 0;
  for (float v : values) r[static_cast<std::size_t>(i++)] = v;
  return recordLine(stamp, r.data(), i);
}

inline QDateTime at(int day, int hour, int minute = 0, int second = 0) {
  return QDateTime(QDate(2026, 12, day), QTime(hour, minute, second));
}

class LogFolder {
 public:
  QString write(const QString& name, const QByteArray& bytes) const {
    const QString path = dir_.filePath(name);
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
    return path;
  }
  QString path(const QString& name) const { return dir_.filePath(name); }
  QByteArray read(const QString& name) const {
    QFile file(path(name));
    file.open(QIODevice::ReadOnly);
    return file.readAll();
  }

 private:
  QTemporaryDir dir_;
};

}  // namespace bw::test
