#pragma once

#include <QFile>
#include <QList>
#include <QProcessEnvironment>
#include <memory>

#include "AcquisitionFakes.h"
#include "Fakes.h"
#include "acquisition/ui/FrmMain.h"
#include "platform/Twips.h"

namespace bw::test {

// The main window over a given HTTP client and the shared stand-ins for
// every other service; its log reaches the disk through calls a test can
// make fail or hold.
struct WindowHarness {
  explicit WindowHarness(std::unique_ptr<HttpClient> http,
                         QString host = QStringLiteral("adapter.test"))
      : WindowHarness(std::move(http), builtInSite(host)) {}
  WindowHarness(std::unique_ptr<HttpClient> http, Site site)
      : acquisition(std::move(site), std::move(http), s.clock, s.pace, noDisplay(), logCalls),
        form(std::make_unique<FrmMain>(
            acquisition, FrmMainServices{s.clock, s.messages, s.dialog, s.settings, s.help,
                                         s.sysInfo, QString()})) {}

  // Runs the load event until `queries` pages have been read.
  void runQueries(int queries) {
    int seen = 0;
    QObject::connect(&form->pollingLoop(), &PollingLoop::slotPolled, form.get(),
                     [this, &seen, queries] {
                       if (++seen == queries) form->endProgram();
                     });
    form->Form_Load();
  }

  // Runs `action` once `cycles` polling cycles have ended.
  void afterCycles(int cycles, std::function<void()> action) {
    auto seen = std::make_shared<int>(0);
    QObject::connect(&form->pollingLoop(), &PollingLoop::cycleEnded, form.get(),
                     [seen, cycles, action] {
                       if (++*seen == cycles) action();
                     });
  }

  // Starts logging to `path` through the window's own button at the first
  // step of polling (the load event closes any log first), so the first
  // cycle already writes its record.
  void startLogging(const QString& path) {
    s.dialog.answers = {path};
    auto started = std::make_shared<bool>(false);
    QObject::connect(&form->pollingLoop(), &PollingLoop::slotPolled, form.get(), [this, started] {
      if (*started) return;
      *started = true;
      form->btnFileWrite_Click();
    });
  }

  FaultyLogCalls logCalls;  // before the window, whose log may still use it
  FakeServices s;
  Acquisition acquisition;
  std::unique_ptr<FrmMain> form;
};

// The placement writes for a window frame, in twips, in their order.
inline QStringList placementWrites(const QRect& frame) {
  const QString prefix = QStringLiteral("Brinewatch/Settings/");
  return {prefix + QStringLiteral("MainLeft=%1").arg(pixelsToTwips(frame.left())),
          prefix + QStringLiteral("MainTop=%1").arg(pixelsToTwips(frame.top())),
          prefix + QStringLiteral("MainWidth=%1").arg(pixelsToTwips(frame.width())),
          prefix + QStringLiteral("MainHeight=%1").arg(pixelsToTwips(frame.height()))};
}

// The lines of a log file; empty when a line is cut or a line end is missing.
inline QList<QByteArray> wholeRecordLines(const QString& path, int sensors) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QByteArray text = file.readAll();
  if (!text.endsWith("\r\n")) return {};
  QList<QByteArray> lines = text.chopped(2).split('\n');
  for (QByteArray& line : lines) {
    if (line.endsWith('\r')) line.chop(1);
    // A stamp and one field per sensor, comma separated.
    if (line.count(',') != sensors) return {};
  }
  return lines;
}

// The environment of a program run as a child: no display, the browser
// engine unsandboxed, its settings and site file looked for in `configHome`.
inline QProcessEnvironment programEnvironment(const QString& configHome) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  env.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
  env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
  return env;
}

}  // namespace bw::test
