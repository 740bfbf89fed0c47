#pragma once

#include <QList>
#include <QStringList>
#include <functional>
#include <ostream>
#include <stdexcept>

#include "frame/FrameHost.h"
#include "platform/Clock.h"
#include "platform/desktop/HelpViewer.h"
#include "platform/desktop/SettingsStore.h"
#include "platform/ui/CommonDialog.h"
#include "platform/ui/MessageBox.h"

// Readable texts in failure messages.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

namespace bw::test {

// Everything the fakes below are asked to do, in order.
using Steps = QStringList;

class FixedClock final : public Clock {
 public:
  QDateTime now() const override { return stamp; }
  QDateTime stamp{QDate(2026, 12, 8), QTime(10, 15, 30, 250)};
};

class RecordingMessageBox final : public MessageBox {
 public:
  void show(QWidget* owner, const QString& text, MessageStyle style,
            const std::optional<QString>& title) override {
    if (failing) throw std::runtime_error("the message box failed");
    owners.append(owner);
    texts.append(text);
    styles.append(style);
    titles.append(title.value_or(QStringLiteral("<application title>")));
    if (onShow) onShow(text);
  }
  QList<QWidget*> owners;
  QStringList texts;
  QList<MessageStyle> styles;
  QStringList titles;
  bool failing = false;
  std::function<void(const QString&)> onShow;
};

// Records each showing with the properties it found; `fail` makes the next
// showing throw, `answer` is what an open dialog returns (empty: cancel).
class ScriptedDialog final : public CommonDialog {
 public:
  struct Showing {
    QString kind, title, filters;
    bool cancelError;
  };
  QList<Showing> showings;
  QString answer;
  bool printerAccepts = false;
  bool fail = false;

 protected:
  QString runOpenDialog(QWidget*, const QString& title, const QString& filters,
                        const QString&) override {
    record(QStringLiteral("open"), title, filters);
    return answer;
  }
  bool runPrinterDialog(QWidget*, const QString& title) override {
    record(QStringLiteral("printer"), title, {});
    return printerAccepts;
  }

 private:
  void record(const QString& kind, const QString& title, const QString& filters) {
    showings.append({kind, title, filters, CancelError});
    if (fail) throw std::runtime_error("the dialog could not be shown");
  }
};

class RecordingSettings final : public SettingsStore {
 public:
  explicit RecordingSettings(Steps& steps) : steps_(steps) {}
  std::optional<QString> saveSetting(const QString& app, const QString& section, const QString& key,
                                     const QString& value) override {
    if (key == refusedKey) return QStringLiteral("the settings are read-only");
    steps_.append(QStringLiteral("save %1/%2/%3=%4").arg(app, section, key, value));
    values[key] = value;
    return std::nullopt;
  }
  QString getSetting(const QString&, const QString&, const QString& key,
                     const QString& fallback) const override {
    return values.value(key, fallback);
  }
  QString refusedKey;
  QMap<QString, QString> values;

 private:
  Steps& steps_;
};

class RecordingHelpViewer final : public HelpViewer {
 public:
  struct Call {
    QWidget* owner;
    QString file;
    HelpRequest request;
    QString keyword;
  };
  std::optional<QString> show(QWidget* owner, const QString& file, HelpRequest request,
                              const QString& keyword) override {
    calls.append({owner, file, request, keyword});
    return failure;
  }
  QList<Call> calls;
  std::optional<QString> failure;
};

class FakeHost final : public FrameHost {
 public:
  explicit FakeHost(Steps& steps) : steps_(steps) {}
  MessageBox& messageBox() override { return messages; }
  CommonDialog& dlgCommonDialog() override { return otherDialog ? *otherDialog : dialog; }
  void showAbout(QWidget* owner) override {
    aboutOwners.append(owner);
    if (onAbout) onAbout();
  }
  void closeLogIfLogging() override {
    if (loggingOn) steps_.append(QStringLiteral("close log"));
    loggingOn = false;
  }
  void stopPolling() override { steps_.append(QStringLiteral("stop polling")); }

  RecordingMessageBox messages;
  ScriptedDialog dialog;
  CommonDialog* otherDialog = nullptr;  // instead of `dialog`
  QList<QWidget*> aboutOwners;
  std::function<void()> onAbout;
  bool loggingOn = false;

 private:
  Steps& steps_;
};

}  // namespace bw::test
