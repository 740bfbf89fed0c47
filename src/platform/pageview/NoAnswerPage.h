#pragma once

#include <QByteArray>
#include <QString>

namespace bw {

// The small local page a view shows in place of an answer that never came.
class NoAnswerPage {
 public:
  static QByteArray html(const QString& url, const QString& reason);
  // In place of an answer that came but is not shown.
  static QByteArray refusedHtml(const QString& url, const QString& reason);
};

}  // namespace bw
