#include "platform/DateTimeText.h"

namespace bw {

QString stampText(const QDateTime& stamp) {
  const QTime time = stamp.time();
  const QString date = stamp.date().toString(QStringLiteral("yyyy-MM-dd"));
  if (time.hour() == 0 && time.minute() == 0 && time.second() == 0) return date;
  return date + u' ' + time.toString(QStringLiteral("HH:mm:ss"));
}

}  // namespace bw
