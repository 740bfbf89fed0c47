#pragma once

#include <QDate>
#include <QLocale>
#include <QString>
#include <QTime>

namespace bw {

// The status bar's date and time as the locale writes them in short form.
class ClockText {
 public:
  static QString date(const QLocale& locale, const QDate& date);
  // Without seconds even where the short form has them: the panel changes
  // once a minute, and seconds standing still would read as a hang.
  static QString time(const QLocale& locale, const QTime& time);
};

}  // namespace bw
