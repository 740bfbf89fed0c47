#pragma once

#include <QList>
#include <QTimer>
#include <functional>

#include "platform/web/HttpClient.h"

namespace bw::test {

// Answers each GET from a function on the next turn of the event loop, and
// keeps the URLs asked for.
class FakeHttpClient final : public HttpClient {
 public:
  using Answerer = std::function<HttpAnswer(const QByteArray& url)>;
  explicit FakeHttpClient(Answerer answerer) : answerer_(std::move(answerer)) {}

  void get(const QByteArray& url) override {
    urls.append(url);
    busy_ = true;
    const int generation = ++generation_;
    QTimer::singleShot(0, this, [this, url, generation] {
      if (generation != generation_ || !busy_) return;
      busy_ = false;
      emit finished(answerer_(url));
    });
  }
  void abort() override { busy_ = false; }
  bool busy() const override { return busy_; }

  QList<QByteArray> urls;

 private:
  Answerer answerer_;
  bool busy_ = false;
  int generation_ = 0;
};

inline HttpAnswer page(const QByteArray& value) {
  HttpAnswer answer;
  answer.answered = true;
  answer.status = 200;
  answer.body =
      "<html><body><form><input id=Temperature_0 value=\"" + value + "\"></form></body></html>";
  return answer;
}

}  // namespace bw::test
