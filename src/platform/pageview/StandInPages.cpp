#include "platform/pageview/StandInPages.h"

namespace bw {

namespace {

QByteArray notice(const QString& title, const QString& url, const QString& reason) {
  return QStringLiteral(
             "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>%1</title></head>"
             "<body style=\"font-family: sans-serif\"><h3>%1</h3>"
             "<p>From: <code>%2</code></p><p>Reason: %3</p></body></html>")
      .arg(title, url.toHtmlEscaped(), reason.toHtmlEscaped())
      .toUtf8();
}

}  // namespace

QByteArray noAnswerPage(const QString& url, const QString& reason) {
  return notice(QStringLiteral("No answer"), url, reason);
}

QByteArray notShownPage(const QString& url, const QString& reason) {
  return notice(QStringLiteral("Page not shown"), url, reason);
}

}  // namespace bw
