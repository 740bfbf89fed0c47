#pragma once

#include <QObject>
#include <QtGlobal>

class QSocketNotifier;

namespace bw {

// Turns the system's requests to end the program into signals delivered by
// the event loop, so the program can end as if asked to. The program makes
// one; while it lives it takes these requests, and once it is gone the
// earlier handling is back. A second one made meanwhile hears nothing. GUI
// thread only.
//
// On Linux: SIGTERM, SIGINT and SIGHUP, reported with their numbers; while
// the notifier lives they no longer kill the process. SIGHUP (the terminal
// went away) ends a program as SIGTERM does, unless the program takes it as
// a request to open its files again (a service: reloadRequested()).
//
// On Windows: the console's control events. Ctrl+C is reported as SIGINT,
// Ctrl+Break as SIGBREAK, closing the console window, logoff and shutdown as
// SIGTERM. For the last three the system ends the process once the handler
// returns, so the handler waits (a few seconds at most) until the notifier
// is gone, that is until the end sequence has run. A process with windows
// gets no logoff or shutdown control event: the end of the session reaches
// it as window messages, which Qt turns into a save request
// (QGuiApplication::commitDataRequest) and then a quit.
//
// Everywhere: a quit request to the application (the session ending, or any
// platform code) is reported by quitRequested() before Qt acts on it, since
// the quit would make every nested wait of the program return at once. In a
// GUI application the desktop's request to save the session (it saves one
// now and then, and asks before a logout) is reported by
// sessionSaveRequested(); it ends nothing.
class TerminationNotifier : public QObject {
  Q_OBJECT

 public:
  // What SIGHUP asks for.
  enum class Hangup { kTerminates, kReloads };

  explicit TerminationNotifier(QObject* parent = nullptr)
      : TerminationNotifier(Hangup::kTerminates, parent) {}
  explicit TerminationNotifier(Hangup hangup, QObject* parent = nullptr);
  ~TerminationNotifier() override;

  // False when another notifier was listening already or the system refused.
  bool listening() const { return listening_; }

 signals:
  void terminationRequested(int signalNumber);
  // SIGHUP, where the program asked for Hangup::kReloads.
  void reloadRequested();
  void quitRequested();
  void sessionSaveRequested();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void watchApplication();

  bool listening_ = false;
  Hangup hangup_;
#ifndef Q_OS_WIN
  void readPending();
  QSocketNotifier* reader_ = nullptr;
#endif
};

}  // namespace bw
