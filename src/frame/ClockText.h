#pragma once

#include <QDate>
#include <QLocale>
#include <QString>
#include <QTime>

namespace bw {

// The status bar's date as the locale writes it in short form.
QString clockDateText(const QLocale& locale, const QDate& date);
// The status bar's time in the locale's short form, without seconds even
// where the short form has them: the panel changes once a minute, and
// seconds standing still would read as a hang.
QString clockTimeText(const QLocale& locale, const QTime& time);

}  // namespace bw
