#include "platform/TerminationNotifier.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QtGlobal>
#include <csignal>

#ifdef Q_OS_WIN
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <chrono>
#include <mutex>
#else
#include <fcntl.h>
#include <unistd.h>
#include <QSocketNotifier>
#include <array>
#include <cerrno>
#endif

namespace bw {

namespace {
// The notifier that listens; the system's handlers have no other way to it.
// GUI thread only.
TerminationNotifier* listener = nullptr;
}  // namespace

void TerminationNotifier::watchApplication() {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) return;
  app->installEventFilter(this);
  // Only a GUI application hears from a session manager. Found by name, so a
  // program without windows links no GUI library for it.
  const char* saveRequest = SIGNAL(commitDataRequest(QSessionManager&));
  if (app->metaObject()->indexOfSignal(QMetaObject::normalizedSignature(saveRequest + 1)) >= 0)
    connect(app, saveRequest, this, SIGNAL(sessionSaveRequested()));
}

bool TerminationNotifier::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Quit && watched == QCoreApplication::instance())
    emit quitRequested();
  return QObject::eventFilter(watched, event);
}

#ifdef Q_OS_WIN

namespace {

// Below the five seconds the system grants a console handler before it ends
// the process regardless.
constexpr std::chrono::milliseconds kEndGrace{4500};

// Shared with the system's handler thread.
std::mutex stateMutex;
bool handling = false;  // the handler passes events on while false
// Counts listening spans, so a request posted during one is dropped if the
// notifier went before it was delivered: it is not for a later listener.
unsigned span = 0;
HANDLE gone = nullptr;  // manual-reset: set while no notifier listens

void deliver(int signalNumber, unsigned requestSpan) {
  {
    const std::lock_guard<std::mutex> lock(stateMutex);
    if (!handling || requestSpan != span) return;
  }
  if (listener) emit listener->terminationRequested(signalNumber);
}

// Runs on a thread the system starts for each event.
BOOL WINAPI onControlEvent(DWORD event) {
  int signalNumber = SIGTERM;
  bool endsProcess = true;
  switch (event) {
    case CTRL_C_EVENT:
      signalNumber = SIGINT;
      endsProcess = false;
      break;
    case CTRL_BREAK_EVENT:
      signalNumber = SIGBREAK;
      endsProcess = false;
      break;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      break;
    default:
      return FALSE;
  }
  {
    const std::lock_guard<std::mutex> lock(stateMutex);
    QCoreApplication* app = QCoreApplication::instance();
    if (!handling || !app) return FALSE;
    // Posting is safe from any thread; the application outlives the notifier.
    const unsigned requestSpan = span;
    QMetaObject::invokeMethod(
        app, [signalNumber, requestSpan] { deliver(signalNumber, requestSpan); },
        Qt::QueuedConnection);
  }
  if (endsProcess) WaitForSingleObject(gone, static_cast<DWORD>(kEndGrace.count()));
  return TRUE;
}

// Installed once and never removed: removing it could wait for a handler
// that waits for the end sequence. Not listening, it passes each event on
// to the handlers installed before it, so their handling is back.
bool ensureHandler() {
  static const bool installed = [] {
    gone = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    return gone && SetConsoleCtrlHandler(onControlEvent, TRUE);
  }();
  return installed;
}

}  // namespace

// No hangup signal reaches a Windows process: closing its console is
// CTRL_CLOSE_EVENT, a termination.
TerminationNotifier::TerminationNotifier(Hangup hangup, QObject* parent)
    : QObject(parent), hangup_(hangup) {
  if (listener) {
    qWarning("Another termination notifier is listening already.");
    return;
  }
  if (!ensureHandler()) {
    qWarning("Console control events cannot be caught.");
    return;
  }
  {
    const std::lock_guard<std::mutex> lock(stateMutex);
    handling = true;
    ++span;
    ResetEvent(gone);
  }
  listener = this;
  listening_ = true;
  watchApplication();
}

TerminationNotifier::~TerminationNotifier() {
  if (!listening_) return;
  listener = nullptr;
  {
    const std::lock_guard<std::mutex> lock(stateMutex);
    handling = false;
  }
  SetEvent(gone);
}

#else  // POSIX signals

namespace {

constexpr std::array<int, 3> kSignals{SIGTERM, SIGINT, SIGHUP};

// The pipe lives as long as the process, so the handler never writes to a
// closed or reused descriptor.
int pipeFds[2] = {-1, -1};
volatile sig_atomic_t writeFd = -1;
std::array<struct sigaction, kSignals.size()> previousActions{};

// Only async-signal-safe calls here.
extern "C" void onTerminationSignal(int signalNumber) {
  const int savedErrno = errno;
  const unsigned char byte = static_cast<unsigned char>(signalNumber);
  if (writeFd >= 0) {
    [[maybe_unused]] const ssize_t written = ::write(writeFd, &byte, 1);
  }
  errno = savedErrno;
}

bool ensurePipe() {
  if (pipeFds[0] >= 0) return true;
  if (::pipe(pipeFds) != 0) return false;
  for (int fd : pipeFds) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  }
  writeFd = pipeFds[1];
  return true;
}

// Signals that came while nobody listened are not for the new listener.
void drainPipe() {
  unsigned char buffer[64];
  while (::read(pipeFds[0], buffer, sizeof buffer) > 0) {
  }
}

void installHandlers() {
  struct sigaction action {};
  action.sa_handler = onTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (std::size_t i = 0; i < kSignals.size(); ++i)
    ::sigaction(kSignals[i], &action, &previousActions[i]);
}

void restoreHandlers() {
  for (std::size_t i = 0; i < kSignals.size(); ++i)
    ::sigaction(kSignals[i], &previousActions[i], nullptr);
}

}  // namespace

TerminationNotifier::TerminationNotifier(Hangup hangup, QObject* parent)
    : QObject(parent), hangup_(hangup) {
  if (listener) {
    qWarning("Another termination notifier is listening already.");
    return;
  }
  if (!ensurePipe()) {
    qWarning("Termination signals cannot be caught: no pipe.");
    return;
  }
  drainPipe();
  installHandlers();
  listener = this;
  listening_ = true;
  reader_ = new QSocketNotifier(pipeFds[0], QSocketNotifier::Read, this);
  connect(reader_, &QSocketNotifier::activated, this, &TerminationNotifier::readPending);
  watchApplication();
}

TerminationNotifier::~TerminationNotifier() {
  if (!listening_) return;
  listener = nullptr;
  restoreHandlers();
}

void TerminationNotifier::readPending() {
  unsigned char buffer[64];
  ssize_t n = 0;
  // A handler may end the program and destroy this notifier.
  const QPointer<TerminationNotifier> self(this);
  while (self && (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0)
    for (ssize_t i = 0; i < n && self; ++i) {
      if (buffer[i] == SIGHUP && hangup_ == Hangup::kReloads)
        emit reloadRequested();
      else
        emit terminationRequested(buffer[i]);
    }
}

#endif

}  // namespace bw
