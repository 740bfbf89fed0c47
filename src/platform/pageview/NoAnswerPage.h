#pragma once

#include <QByteArray>
#include <QString>

namespace bw {

// The small local page a view shows in place of an answer that never came.
class NoAnswerPage {
 public:
  static QByteArray html(const QString& url, const QString& reason);
};

}  // namespace bw
