#pragma once

#include <QByteArray>
#include <QFile>
#include <QSet>
#include <QString>

namespace bw::test {

// The exit statuses a unit as installed does not restart on
// (RestartPreventExitStatus=).
inline QSet<int> unitRestartPrevented(const char* path) {
  QFile unit(QString::fromUtf8(path));
  QSet<int> statuses;
  if (!unit.open(QIODevice::ReadOnly)) return statuses;
  for (const QByteArray& line : unit.readAll().split('\n'))
    if (line.startsWith("RestartPreventExitStatus="))
      for (const QByteArray& word : line.mid(line.indexOf('=') + 1).simplified().split(' '))
        statuses << word.toInt();
  return statuses;
}

}  // namespace bw::test
