#pragma once

#include <QFile>
#include <QList>
#include <QSettings>
#include <memory>

#include "FrameFakes.h"
#include "acquisition/ui/FrmMain.h"
#include "platform/web/CurlHttpClient.h"

namespace bw::test {

// The program's main window over real HTTP to a simulated adapter, with
// recording message box and a scripted common dialog.
struct RealWindow {
  explicit RealWindow(const QString& adapterHost, MessageBox* messageBox = nullptr) {
    FrmMainServices services;
    services.http = std::make_unique<CurlHttpClient>();
    services.adapterHost = adapterHost;
    services.clock = &clock;
    services.messageBox = messageBox ? messageBox : &messages;
    services.commonDialog = &dialog;
    form = std::make_unique<FrmMain>(std::move(services));
  }

  // Starts logging to `path` through the window's own button at the first
  // step of polling (the load event closes any log first), so the first
  // cycle already writes its record.
  void startLogging(const QString& path) {
    dialog.answer = path;
    auto started = std::make_shared<bool>(false);
    QObject::connect(&form->pollingLoop(), &PollingLoop::slotPolled, form.get(), [this, started] {
      if (*started) return;
      *started = true;
      form->btnFileWrite_Click();
    });
  }

  FixedClock clock;
  RecordingMessageBox messages;
  ScriptedDialog dialog;
  std::unique_ptr<FrmMain> form;
};

// The placement as the program keeps it, in the test settings location.
inline QStringList placementValues() {
  QSettings settings(QStringLiteral("Brinewatch"), QStringLiteral("Brinewatch"));
  settings.beginGroup(QStringLiteral("Settings"));
  QStringList values;
  for (const char* key : {"MainLeft", "MainTop", "MainWidth", "MainHeight"})
    values << settings.value(QLatin1String(key)).toString();
  return values;
}

inline void setPlacementValue(const QString& key, const QString& value) {
  QSettings settings(QStringLiteral("Brinewatch"), QStringLiteral("Brinewatch"));
  if (key.isEmpty()) {
    settings.remove(QStringLiteral("Settings"));
  } else {
    settings.setValue(QStringLiteral("Settings/") + key, value);
  }
}

inline QStringList twips(const QRect& frame) {
  return {QString::number(frame.left() * 15), QString::number(frame.top() * 15),
          QString::number(frame.width() * 15), QString::number(frame.height() * 15)};
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

}  // namespace bw::test
