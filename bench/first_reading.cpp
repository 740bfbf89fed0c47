// Time to the first reading on screen when the adapter answers at once.
// Each run is a fresh process, so the page view's start-up (the browser
// engine and its helper processes) is in every figure. The parent stamps
// the monotonic clock just before it starts the child; the child stamps
// its milestones on the same clock:
//   main         main() entered (exec and dynamic loading done)
//   app          QApplication constructed
//   window       FrmMain constructed, page view included
//   answer       the first answer has arrived
//   text         txtTemperature first gets a text
//   painted      txtTemperature is first painted with it
//   page shown   the page view has the first page on screen
// With --split a page view is built alone before the window, stamped as
// "view alone": what the page view's start-up costs, and what the rest of
// the window costs once the engine is up.
//
//   bench_first_reading [--runs N] [--split]

#include "BenchOptions.h"
#include "BenchSupport.h"
#include "BenchWindow.h"
#include "platform/pageview/PageView.h"
#include "platform/pageview/PageViewSetup.h"
#include "platform/web/WebBrowser.h"
#ifdef BRINEWATCH_WEBENGINE_PAGE_VIEW
#include "platform/pageview/WebEnginePageView.h"
#endif

#include <QApplication>
#include <QEvent>
#include <QLineEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace std::chrono_literals;

constexpr std::chrono::milliseconds kRunLimit{20'000};
constexpr std::chrono::milliseconds kSimulatorStartTimeout{5000};
// The milestones, in the order they come.
constexpr std::array<const char*, 8> kMilestones = {"main",   "app",  "view alone", "window",
                                                    "answer", "text", "painted",    "page shown"};

// Fires once when `watched` is painted while it shows a text.
class FirstPaintWithText : public QObject {
 public:
  FirstPaintWithText(QLineEdit* watched, std::function<void()> onPainted)
      : QObject(watched), watched_(watched), onPainted_(std::move(onPainted)) {
    watched->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* object, QEvent* event) override {
    if (object == watched_ && event->type() == QEvent::Paint && !watched_->text().isEmpty() &&
        onPainted_) {
      // Stamped before the paint itself: the text is drawn right after.
      auto callback = std::move(onPainted_);
      onPainted_ = nullptr;
      callback();
    }
    return QObject::eventFilter(object, event);
  }

 private:
  QLineEdit* watched_;
  std::function<void()> onPainted_;
};

void stamp(const char* milestone, qint64 ns = bw::bench::monotonicNs()) {
  std::printf("stamp %s %lld\n", milestone, static_cast<long long>(ns));
  std::fflush(stdout);
}

int runChild(int argc, char** argv, const QString& host, bool split) {
  stamp("main");
  bw::preparePageViewBeforeApplication();
  QApplication app(argc, argv);
  // The end sequence keeps the window placement; not in the user's settings.
  QStandardPaths::setTestModeEnabled(true);
  stamp("app");
  std::unique_ptr<QWidget> viewAlone;
  if (split) {
    viewAlone.reset(bw::createPageView(nullptr));
    stamp("view alone");
  }
  bw::bench::BenchWindow window(host);
  bw::FrmMain& form = *window.form;
  stamp("window");

  bool painted = false;
  bool pageShown = false;
  auto endWhenDone = [&] {
    if (painted && pageShown) form.endProgram();
  };
  QObject::connect(&window.acquisition.browser(), &bw::WebBrowser::pageLoaded, &form,
                   [seen = false]() mutable {
                     if (!std::exchange(seen, true)) stamp("answer");
                   });
  QObject::connect(form.txtTemperature, &QLineEdit::textChanged, &form, [seen = false]() mutable {
    if (!std::exchange(seen, true)) stamp("text");
  });
  new FirstPaintWithText(form.txtTemperature, [&] {
    stamp("painted");
    painted = true;
    // Leave the paint event before the window is hidden.
    QTimer::singleShot(0, &form, endWhenDone);
  });
#ifdef BRINEWATCH_WEBENGINE_PAGE_VIEW
  if (auto* engine = dynamic_cast<bw::WebEnginePageView*>(form.brwWebBrowser)) {
    QObject::connect(engine, &bw::WebEnginePageView::settled, &form, [&] {
      if (std::exchange(pageShown, true)) return;
      stamp("page shown");
      QTimer::singleShot(0, &form, endWhenDone);
    });
  } else {
    pageShown = true;
  }
#else
  pageShown = true;
#endif
  QTimer::singleShot(kRunLimit, &form, [&] { form.endProgram(); });
  form.Form_Load();
  std::printf("done\n");
  std::fflush(stdout);
  return 0;
}

// The simulator program on a free port; empty host when it did not start.
QString startSimulator(QProcess& process) {
  return bw::bench::startSimulatorProcess(process, QStringLiteral(BRINEWATCH_ADAPTER_SIM),
                                          kSimulatorStartTimeout);
}

// Milestone -> ms since the child was started; empty when the run failed.
std::map<std::string, double> runOnce(const QString& self, const QString& host, bool split) {
  QProcess child;
  child.setProcessChannelMode(QProcess::SeparateChannels);
  child.setStandardErrorFile(QProcess::nullDevice());
  const qint64 started = bw::bench::monotonicNs();
  child.start(self, {split ? QStringLiteral("--child-split") : QStringLiteral("--child"), host});
  const auto limit = kRunLimit + 10s;
  if (!child.waitForFinished(static_cast<int>(limit.count()))) {
    child.kill();
    child.waitForFinished();
    return {};
  }
  return bw::bench::parseStamps(child.readAllStandardOutput(), started);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]).rfind("--child", 0) == 0) {
    const QString host = QString::fromLocal8Bit(argv[2]);
    return runChild(argc, argv, host, std::string(argv[1]) == "--child-split");
  }
  bw::CommandLine line = bw::bench::numberOptions({{"runs", "program starts measured"}});
  line.add("split", "", "the simulator answers in two writes");
  line.parse(argc, argv);
  const int runs = bw::bench::number(line, "runs", 1, INT_MAX, 5);
  const bool split = line.isSet(QStringLiteral("split"));
  if (!line.ok()) return bw::bench::usageError(line, "bench_first_reading");
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");

  QProcess simulator;
  const QString host = startSimulator(simulator);
  if (host.isEmpty()) {
    std::fprintf(stderr, "the simulator did not start\n");
    return 1;
  }
  std::printf(
      "time to the first reading, ms since the process was started, adapter answering "
      "at once, platform %s\n",
      qPrintable(bw::bench::platformName()));
  std::printf("%4s", "run");
  for (const char* m : kMilestones) std::printf(" %10s", m);
  std::printf(" %16s\n", "FrmMain->painted");
  std::fflush(stdout);

  const QString self = QString::fromLocal8Bit(argv[0]);
  std::map<std::string, std::vector<double>> all;
  std::vector<double> fromWindow;
  for (int run = 1; run <= runs; ++run) {
    const auto at = runOnce(self, host, split);
    std::printf("%4d", run);
    for (const char* m : kMilestones) {
      const auto it = at.find(m);
      if (it == at.end()) {
        std::printf(" %10s", "-");
        continue;
      }
      std::printf(" %10.1f", it->second);
      all[m].push_back(it->second);
    }
    if (at.count("window") && at.count("painted")) {
      // From the start of the construction: the stamp after the application.
      fromWindow.push_back(at.at("painted") - at.at("app"));
      std::printf(" %16.1f", fromWindow.back());
    }
    std::printf("\n");
    std::fflush(stdout);
  }
  std::printf("%4s", "med");
  for (const char* m : kMilestones)
    std::printf(" %10.1f", all.count(m) ? bw::bench::median(all[m]) : 0.0);
  std::printf(" %16.1f\n", bw::bench::median(fromWindow));
  // The run least disturbed by whatever else the machine was doing.
  auto least = [](const std::vector<double>& v) {
    return v.empty() ? 0.0 : *std::min_element(v.begin(), v.end());
  };
  std::printf("%4s", "min");
  for (const char* m : kMilestones) std::printf(" %10.1f", least(all[m]));
  std::printf(" %16.1f\n", least(fromWindow));

  simulator.terminate();
  if (!simulator.waitForFinished(5000)) simulator.kill();
  if (all.count("painted")) {
    const std::string what =
        "first reading on screen from process start, " + bw::bench::platformName().toStdString();
    bw::bench::printSummary(what.c_str(), bw::bench::median(all["painted"]), "ms", 300, "< 300 ms");
  }
  return 0;
}
