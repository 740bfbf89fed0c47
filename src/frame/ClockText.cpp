#include "frame/ClockText.h"

#include <QRegularExpression>

namespace bw {

QString clockDateText(const QLocale& locale, const QDate& date) {
  return locale.toString(date, QLocale::ShortFormat);
}

QString clockTimeText(const QLocale& locale, const QTime& time) {
  QString format = locale.timeFormat(QLocale::ShortFormat);
  // Seconds and their fractions, with the separator before them.
  static const QRegularExpression seconds(QStringLiteral("[^a-zA-Z' ]?s{1,2}([^a-zA-Z' ]?z+)?"));
  format.remove(seconds);
  return locale.toString(time, format);
}

}  // namespace bw
