#pragma once

#include <QStringList>
#include <memory>

#include "FakeHttpClient.h"
#include "acquisition/ui/FrmMain.h"
#include "platform/Clock.h"
#include "platform/ui/CommonDialog.h"
#include "platform/ui/MessageBox.h"

namespace bw::test {

class FixedClock final : public Clock {
 public:
  QDateTime now() const override { return stamp; }
  QDateTime stamp{QDate(2026, 12, 8), QTime(10, 0, 0)};
};

class RecordingMessageBox final : public MessageBox {
 public:
  void show(QWidget*, const QString& text, MessageStyle style,
            const std::optional<QString>& title) override {
    texts.append(text);
    styles.append(style);
    titles.append(title.value_or(QStringLiteral("<application title>")));
  }
  QStringList texts;
  QList<MessageStyle> styles;
  QStringList titles;
};

// Answers the open dialog with the next scripted name; an empty name is a
// cancel.
class ScriptedDialog final : public CommonDialog {
 public:
  QStringList answers;
  QStringList shownTitles;
  QStringList shownFilters;

 protected:
  QString runOpenDialog(QWidget*, const QString& title, const QString& filters,
                        const QString&) override {
    shownTitles.append(title);
    shownFilters.append(filters);
    return answers.isEmpty() ? QString() : answers.takeFirst();
  }
  bool runPrinterDialog(QWidget*, const QString&) override { return false; }
};

// A main window over a given HTTP client, with recording seams.
struct WindowHarness {
  explicit WindowHarness(std::unique_ptr<HttpClient> http,
                         QString host = QStringLiteral("adapter.test")) {
    FrmMainServices services;
    services.http = std::move(http);
    services.adapterHost = std::move(host);
    services.clock = &clock;
    services.messageBox = &messages;
    services.commonDialog = &dialog;
    form = std::make_unique<FrmMain>(std::move(services));
  }

  // Runs the load event until `queries` pages have been read.
  void runQueries(int queries) {
    int seen = 0;
    QObject::connect(&form->pollingLoop(), &PollingLoop::slotPolled, form.get(),
                     [this, &seen, queries] {
                       if (++seen == queries) form->endProgram();
                     });
    form->Form_Load();
  }

  FixedClock clock;
  RecordingMessageBox messages;
  ScriptedDialog dialog;
  std::unique_ptr<FrmMain> form;
};

}  // namespace bw::test
