#include "daemon/JournalDisplay.h"

#include <QStringList>
#include <cstdio>
#include <cstring>

#include "platform/ServiceManager.h"

namespace bw {

JournalDisplay::JournalDisplay(const Site& site, ServiceManager& service, Print print)
    : site_(site), service_(service), print_(std::move(print)) {}

void JournalDisplay::showWindow() {
  if (ready_) return;
  ready_ = true;
  service_.ready(
      QStringLiteral("polling %1 sensors of %2").arg(site_.sensors.size()).arg(site_.adapter));
}

void JournalDisplay::showRecordNumber(int) {
  if (loggingFailure_.isEmpty()) return;
  loggingFailure_.clear();
  print_(kInfo, QStringLiteral("log %1: writing again").arg(site_.log));
}

void JournalDisplay::showLoggingFailure(const QString& reason) {
  if (reason == loggingFailure_) return;
  loggingFailure_ = reason;
  print_(kError, QStringLiteral("log %1: a record could not be written: %2; polling goes on and "
                                "writing is tried again each cycle")
                     .arg(site_.log, reason));
}

void JournalDisplay::queryEnded(int slot, ReadingOutcome outcome, const QString& why) {
  const SiteSensor* sensor = site_.inSlot(slot + 1);
  if (!sensor) return;
  bool& failing = failing_[static_cast<std::size_t>(slot)];
  const bool fails = outcome != ReadingOutcome::kRead;
  if (fails == failing) return;
  failing = fails;
  const QString who =
      sensor->name.isEmpty()
          ? QStringLiteral("sensor %1 (%2)").arg(sensor->slot).arg(sensor->rom)
          : QStringLiteral("sensor %1 (%2, %3)").arg(sensor->slot).arg(sensor->name, sensor->rom);
  if (!fails) {
    print_(kInfo, QStringLiteral("%1: reading again").arg(who));
    return;
  }
  const QString what = outcome == ReadingOutcome::kNoPage ? QStringLiteral("no page")
                       : outcome == ReadingOutcome::kNoTemperature
                           ? QStringLiteral("a page without the temperature")
                           : QStringLiteral("a value that is no number");
  print_(kWarning, QStringLiteral("%1: %2%3; logged as %4 until it reads again")
                       .arg(who, what, why.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(why),
                            outcome == ReadingOutcome::kNoPage ? QStringLiteral("-1")
                            : outcome == ReadingOutcome::kNoTemperature
                                ? QStringLiteral("-2")
                                : QStringLiteral("the reading before it")));
}

void printToJournal(int priority, const QString& line) {
  static const bool journal = !qEnvironmentVariableIsEmpty("JOURNAL_STREAM");
  const QByteArray text = (journal ? QStringLiteral("<%1>").arg(priority) : QString()).toUtf8() +
                          QByteArrayLiteral("brinewatchd: ") + line.toUtf8() + '\n';
  std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stderr);
  std::fflush(stderr);
}

namespace {

void journalMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  const int priority = type == QtDebugMsg      ? JournalDisplay::kDebug
                       : type == QtInfoMsg     ? JournalDisplay::kInfo
                       : type == QtWarningMsg  ? JournalDisplay::kWarning
                       : type == QtCriticalMsg ? JournalDisplay::kError
                                               : JournalDisplay::kCritical;
  const char* category = context.category;
  const QString prefix = category && std::strcmp(category, "default") != 0
                             ? QString::fromUtf8(category) + QStringLiteral(": ")
                             : QString();
  // The journal reads a priority at each line's start.
  for (const QString& line : message.split(u'\n', Qt::SkipEmptyParts))
    printToJournal(priority, prefix + line);
}

}  // namespace

void sendQtMessagesToJournal() {
  qInstallMessageHandler(journalMessage);
}

}  // namespace bw
