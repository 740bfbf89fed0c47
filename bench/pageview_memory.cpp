// Resident memory of the page view under a stream of pages that all differ:
// the adapter answers each query at once with another body that is no
// adapter page (random text with stray markup, so the shape changes too).
// Pages are handed to the view every --period-ms, as fast as such an adapter
// answers, without waiting for the view: a full load in the browser engine
// takes far longer, and the view keeps only the newest page waiting. VmRSS
// of this process and of the engine's helpers are printed at points up to
// the last page, and the growth from the first minute's end to the end.
//
//   bench_pageview_memory [--pages N] [--period-ms N] [--max-body-bytes N]
//                         [--time-limit-s N] [--view plain|engine]

#include "BenchOptions.h"
#include "BenchSupport.h"
#include "platform/pageview/PageViewSetup.h"
#include "platform/pageview/PlainPageView.h"
#ifdef BRINEWATCH_WEBENGINE_PAGE_VIEW
#include "platform/pageview/WebEnginePageView.h"
#endif

#include <QApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include <malloc.h>

namespace {

using namespace std::chrono_literals;

const QString kUrl = QStringLiteral(
    "http://127.0.0.1:8080/1Wire/ReadDS18B20.html?DS18B20Request=%7b9C000000B4A89828,12%7d");

struct Options {
  int pages = 100'000;
  std::chrono::seconds timeLimit{1800};
  int periodMs = 1;
  int maxBodyBytes = 64 * 1024;
  std::string view = "engine";
};

// False after a usage error on standard error.
bool parseOptions(int argc, char** argv, Options& options) {
  bw::CommandLine line = bw::bench::numberOptions({{"pages", "pages shown"},
                                                   {"period-ms", "time between pages"},
                                                   {"max-body-bytes", "the longest page body"},
                                                   {"time-limit-s", "seconds in all"}});
  line.add("view", "plain|engine", "the page view measured");
  line.parse(argc, argv);
  options.pages = bw::bench::number(line, "pages", 1, INT_MAX, options.pages);
  options.periodMs = bw::bench::number(line, "period-ms", 0, INT_MAX, options.periodMs);
  options.maxBodyBytes =
      bw::bench::number(line, "max-body-bytes", 1, INT_MAX, options.maxBodyBytes);
  options.timeLimit = bw::bench::duration(line, "time-limit-s", 1, options.timeLimit);
  options.view =
      line.choice(QStringLiteral("view"), {QStringLiteral("plain"), QStringLiteral("engine")},
                  QString::fromStdString(options.view))
          .toStdString();
  if (line.ok()) return true;
  bw::bench::usageError(line, "bench_pageview_memory");
  return false;
}

// Random printable text with a tag or an entity every so often.
QByteArray variedBody(QRandomGenerator& random, int number, int maxBytes) {
  static const char* const kPieces[] = {"<b>",  "</b>",           "<p>",     "<i>x</i>", "&amp;",
                                        "<br>", "<span class=v>", "</span>", "{\"t\":",  "}"};
  QByteArray body = QByteArray::number(number) + ' ';
  const int length = 20 + static_cast<int>(random.bounded(std::max(1, maxBytes - 20)));
  while (body.size() < length) {
    quint32 bits = random.generate();
    for (int i = 0; i < 4; ++i, bits >>= 8) body += static_cast<char>('0' + (bits & 0x3F));
    if ((bits & 0x3) == 0) body += ' ';
    if (random.bounded(48) == 0)
      body += kPieces[random.bounded(static_cast<int>(std::size(kPieces)))];
  }
  return body;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!parseOptions(argc, argv, options)) return 2;
  bw::preparePageViewBeforeApplication();
  QApplication app(argc, argv);
  std::unique_ptr<bw::PageView> view;
  std::function<void()> printCounts = [] {};
#ifdef BRINEWATCH_WEBENGINE_PAGE_VIEW
  if (options.view == "engine") {
    auto* engine = new bw::WebEnginePageView;
    printCounts = [engine] {
      const auto c = engine->counts();
      std::printf("loads %d, patches %d, unchanged %d, superseded %d, refused patches %d\n",
                  c.loads, c.patches, c.unchanged, c.superseded, c.refusedPatches);
    };
    view.reset(engine);
  }
#endif
  if (!view) {
    options.view = "plain";
    view = std::make_unique<bw::PlainPageView>();
  }
  view->resize(777, 305);
  view->show();

  QRandomGenerator random(20261208);
  QElapsedTimer clock;
  clock.start();
  qint64 rssAtMinute = -1;
  int pagesAtMinute = 0;
  int shown = 0;
  std::printf("view %s, %d pages that all differ, one every %d ms\n", options.view.c_str(),
              options.pages, options.periodMs);
  std::printf("%10s %8s %12s %12s %12s\n", "pages", "s", "VmRSS KiB", "heap KiB", "helpers KiB");
  auto report = [&] {
    const struct mallinfo2 heap = mallinfo2();
    std::printf("%10d %8.1f %12lld %12lld %12lld\n", shown, clock.elapsed() / 1000.0,
                static_cast<long long>(bw::bench::selfRssKiB()),
                static_cast<long long>((heap.uordblks + heap.hblkhd) / 1024),
                static_cast<long long>(bw::bench::descendantsRssKiB()));
    std::fflush(stdout);
  };
  QTimer feeder;
  feeder.setInterval(options.periodMs);
  QObject::connect(&feeder, &QTimer::timeout, &app, [&] {
    if (shown >= options.pages ||
        clock.elapsed() > std::chrono::milliseconds(options.timeLimit).count()) {
      feeder.stop();
      app.quit();
      return;
    }
    view->showPage(variedBody(random, shown, options.maxBodyBytes), kUrl);
    ++shown;
    if (rssAtMinute < 0 && clock.elapsed() >= 60'000) {
      rssAtMinute = bw::bench::selfRssKiB();
      pagesAtMinute = shown;
      report();
    } else if (shown % 10'000 == 0) {
      report();
    }
  });
  feeder.start();
  app.exec();
  report();
  printCounts();
  const qint64 rssAtEnd = bw::bench::selfRssKiB();
  if (rssAtMinute >= 0) {
    std::printf(
        "summary: pageview_memory view=%s pages=%d after_first_minute_pages=%d "
        "growth_after_first_minute_kib=%lld\n",
        options.view.c_str(), shown, shown - pagesAtMinute,
        static_cast<long long>(rssAtEnd - rssAtMinute));
  } else {
    std::printf("summary: pageview_memory view=%s pages=%d (ran less than a minute)\n",
                options.view.c_str(), shown);
  }
  return 0;
}
