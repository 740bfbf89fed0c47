#pragma once

#include <QString>
#include <array>
#include <functional>

#include "acquisition/AcquisitionDisplay.h"
#include "acquisition/ReadTemperature.h"
#include "site/Site.h"

namespace bw {

class ServiceManager;

// What the unattended logger has to show goes to standard error, which the
// journal keeps: a log that stops or starts writing again, with the reason;
// a sensor that stops or starts giving readings. Each is said once when it
// changes, never once per cycle. The first page ended makes the service
// ready.
class JournalDisplay final : public AcquisitionDisplay {
 public:
  using Print = std::function<void(int priority, const QString& line)>;
  // Syslog priorities, as the journal reads them off a line's start.
  static constexpr int kCritical = 2;
  static constexpr int kError = 3;
  static constexpr int kWarning = 4;
  static constexpr int kInfo = 6;
  static constexpr int kDebug = 7;

  JournalDisplay(const Site& site, ServiceManager& service, Print print);

  // A query ended for `slot` (0-based): a sensor whose readings fail is said
  // once, and once again when it reads again.
  void queryEnded(int slot, ReadingOutcome outcome, const QString& why);
  bool ready() const { return ready_; }

  void showAddress(const QString&) override {}
  void showWindow() override;
  void showReading(int, float) override {}
  void showRecordNumber(int) override;
  void showLoggingFailure(const QString& reason) override;

 private:
  const Site& site_;
  ServiceManager& service_;
  Print print_;
  bool ready_ = false;
  QString loggingFailure_;  // what is said now of the log; empty while it writes
  std::array<bool, kMaxReadings> failing_{};
};

// Prints to standard error, with the priority the journal reads where the
// journal is listening (JOURNAL_STREAM set by systemd), plain otherwise.
void printToJournal(int priority, const QString& line);

// Qt's own messages (those its logging rules let through) go the same way,
// each line with the priority of its kind and the program's name, its
// category before it: the journal then holds only lines of the program's
// form.
void sendQtMessagesToJournal();

}  // namespace bw
