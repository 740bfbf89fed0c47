#pragma once

// One stand-in of each kind for the seams the program's services sit
// behind, shared by every test folder and the benchmarks (the polling
// loop's own are in AcquisitionFakes.h).

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QStringList>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <optional>
#include <ostream>

#include "about/ProgramStarter.h"
#include "about/SysInfoLauncher.h"
#include "platform/Clock.h"
#include "platform/FileChooser.h"
#include "platform/HelpViewer.h"
#include "platform/MessageBox.h"
#include "platform/ServiceManager.h"
#include "platform/SteadyClock.h"
#include "platform/desktop/SettingsStore.h"
#include "platform/registry/MemoryRegistry.h"
#include "platform/ui/CommonDialog.h"

// Readable texts in failure messages.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

namespace bw::test {

class FixedClock final : public Clock {
 public:
  QDateTime now() const override { return stamp; }
  QDateTime stamp{QDate(2026, 12, 8), QTime(10, 0, 0)};
};

// Steady time that waits move on at once: a wait's call comes two turns of
// the event loop later, when whatever was already waiting there (a stop,
// say) has been handled, with the time moved on to the wait's end. Tests
// may move the time on themselves, as a slow answer would.
class InstantSteadyClock final : public SteadyClock {
 public:
  std::chrono::nanoseconds now() const override { return time; }
  void callAfter(std::chrono::nanoseconds delay, QObject* context,
                 std::function<void()> call) override {
    const std::chrono::nanoseconds due = time + delay;
    QTimer::singleShot(0, context, [this, due, context, call = std::move(call)] {
      QTimer::singleShot(0, context, [this, due, call] {
        time = std::max(time, due);
        call();
      });
    });
  }
  std::chrono::nanoseconds time{0};
};

// Answers every box at once and keeps what it was asked to show; a box
// without a title reads "<application title>".
class RecordingMessageBox final : public MessageBox {
 public:
  void show(QWidget* owner, const QString& text, MessageStyle style,
            const std::optional<QString>& title) override {
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
  std::function<void(const QString&)> onShow;  // runs while the box is "up"
};

// Keeps each showing with the properties it found. An open dialog answers
// with the next of `answers`, or cancels when none is left; the printer
// dialog answers `printerAccepts`.
class ScriptedDialog final : public CommonDialog {
 public:
  struct Showing {
    QString kind;  // "open" or "printer"
    QString title;
    QString filters;
    QString startName;  // the name the open dialog starts from
    bool cancelError;
  };
  QList<Showing> showings;
  QStringList answers;
  bool printerAccepts = false;

 protected:
  QString runOpenDialog(QWidget*, const QString& title, const QString& filters,
                        const QString& startName) override {
    showings.append({QStringLiteral("open"), title, filters, startName, CancelError});
    return answers.isEmpty() ? QString() : answers.takeFirst();
  }
  bool runPrinterDialog(QWidget*, const QString& title) override {
    showings.append({QStringLiteral("printer"), title, {}, {}, CancelError});
    return printerAccepts;
  }
};

// Keeps each choice it was asked for as "open: TITLE | FILTER" or
// "save: TITLE | FILTER". An open answers with the next of `filesToOpen`, a
// save with the next of `filesToSave`; either cancels when none is left.
class ScriptedChooser final : public FileChooser {
 public:
  QStringList chooseFilesToOpen(QWidget*, const QString& title, const QString& filter) override {
    asked.append(QStringLiteral("open: %1 | %2").arg(title, filter));
    return filesToOpen.isEmpty() ? QStringList() : filesToOpen.takeFirst();
  }
  QString chooseFileToSave(QWidget*, const QString& title, const QString& filter) override {
    asked.append(QStringLiteral("save: %1 | %2").arg(title, filter));
    return filesToSave.isEmpty() ? QString() : filesToSave.takeFirst();
  }
  QStringList asked;
  QList<QStringList> filesToOpen;
  QStringList filesToSave;
};

// Keeps every write as "app/section/key=value"; a write of `refusedKey` is
// refused.
class RecordingSettings final : public SettingsStore {
 public:
  std::optional<QString> saveSetting(const QString& app, const QString& section, const QString& key,
                                     const QString& value) override {
    if (key == refusedKey) return QStringLiteral("the settings are read-only");
    writes.append(QStringLiteral("%1/%2/%3=%4").arg(app, section, key, value));
    values[key] = value;
    return std::nullopt;
  }
  QString getSetting(const QString&, const QString&, const QString& key,
                     const QString& fallback) const override {
    return values.value(key, fallback);
  }
  QStringList writes;
  QMap<QString, QString> values;
  QString refusedKey;
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
  std::optional<QString> failure;  // what the next showings fail with
};

class RecordingStarter final : public ProgramStarter {
 public:
  bool start(const QString& commandLine) override {
    started.append(commandLine);
    return startWorks;
  }
  QStringList started;
  bool startWorks = true;
};

// Keeps the keys asked for on top of a memory registry.
class RecordingRegistry final : public Registry {
 public:
  RegStatus openKey(RegKey root, const char* subKey, RegDword options, RegDword access,
                    RegKey* result) override {
    opened.append(QString::fromLatin1(subKey));
    return memory.openKey(root, subKey, options, access, result);
  }
  RegStatus queryValue(RegKey key, const char* name, RegDword* reserved, RegDword* type,
                       std::uint8_t* data, RegDword* size) override {
    return memory.queryValue(key, name, reserved, type, data, size);
  }
  RegStatus closeKey(RegKey key) override { return memory.closeKey(key); }

  MemoryRegistry memory;
  QStringList opened;
};

// Keeps what the service manager was told, as "ready: STATUS", "alive",
// "status: TEXT" and "stopping".
class RecordingServiceManager final : public ServiceManager {
 public:
  void ready(const QString& status) override { told.append(QStringLiteral("ready: ") + status); }
  void alive() override { told.append(QStringLiteral("alive")); }
  void status(const QString& text) override { told.append(QStringLiteral("status: ") + text); }
  void stopping() override { told.append(QStringLiteral("stopping")); }
  QStringList told;
};

// Every service the main windows work with but the HTTP client, over the
// stand-ins above; the registry starts empty.
struct FakeServices {
  FixedClock clock;
  InstantSteadyClock pace;
  RecordingMessageBox messages;
  ScriptedDialog dialog;
  ScriptedChooser chooser;
  RecordingSettings settings;
  RecordingHelpViewer help;
  MemoryRegistry registry;
  RecordingStarter starter;
  SysInfoLauncher sysInfo{registry, starter, messages};
};

}  // namespace bw::test
