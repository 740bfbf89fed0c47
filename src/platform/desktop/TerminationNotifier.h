#pragma once

#include <QObject>

class QSocketNotifier;

namespace bw {

// Turns SIGTERM and SIGINT into a signal delivered by the event loop, so the
// program can end as if asked to. While any notifier lives, the two signals
// no longer kill the process; with the last one gone the earlier handlers
// are back. Every live notifier reports each signal. GUI thread only.
class TerminationNotifier : public QObject {
  Q_OBJECT

 public:
  explicit TerminationNotifier(QObject* parent = nullptr);
  ~TerminationNotifier() override;

 signals:
  void terminationRequested(int signalNumber);

 private:
  void listen();
  void readPending();

  QSocketNotifier* reader_ = nullptr;  // only the oldest live notifier reads the pipe
};

}  // namespace bw
