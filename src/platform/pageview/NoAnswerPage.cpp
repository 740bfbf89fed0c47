#include "platform/pageview/NoAnswerPage.h"

namespace bw {

QByteArray NoAnswerPage::html(const QString& url, const QString& reason) {
  return QStringLiteral(
             "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>No answer</title></head>"
             "<body style=\"font-family: sans-serif\"><h3>No answer</h3>"
             "<p>From: <code>%1</code></p><p>Reason: %2</p></body></html>")
      .arg(url.toHtmlEscaped(), reason.toHtmlEscaped())
      .toUtf8();
}

}  // namespace bw
