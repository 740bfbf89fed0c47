#pragma once

#include <QByteArray>
#include <QString>

namespace bw {

// The small local pages a view shows in place of an answer: one that never
// came, and one that came but is not shown.
QByteArray noAnswerPage(const QString& url, const QString& reason);
QByteArray notShownPage(const QString& url, const QString& reason);

}  // namespace bw
