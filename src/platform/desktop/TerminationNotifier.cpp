#include "platform/desktop/TerminationNotifier.h"

#include <fcntl.h>
#include <unistd.h>
#include <QPointer>
#include <QSocketNotifier>
#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <vector>

namespace bw {

namespace {

constexpr std::array<int, 2> kSignals{SIGTERM, SIGINT};

// The pipe lives as long as the process, so the handler never writes to a
// closed or reused descriptor.
int pipeFds[2] = {-1, -1};
volatile sig_atomic_t writeFd = -1;
std::array<struct sigaction, kSignals.size()> previousActions{};
std::vector<TerminationNotifier*> liveNotifiers;

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

TerminationNotifier::TerminationNotifier(QObject* parent) : QObject(parent) {
  if (!ensurePipe()) {
    qWarning("Termination signals cannot be caught: no pipe.");
    return;
  }
  if (liveNotifiers.empty()) {
    drainPipe();
    installHandlers();
  }
  liveNotifiers.push_back(this);
  if (liveNotifiers.front() == this) listen();
}

TerminationNotifier::~TerminationNotifier() {
  const auto it = std::find(liveNotifiers.begin(), liveNotifiers.end(), this);
  if (it == liveNotifiers.end()) return;
  const bool wasReader = it == liveNotifiers.begin();
  liveNotifiers.erase(it);
  delete reader_;
  reader_ = nullptr;
  if (liveNotifiers.empty()) {
    restoreHandlers();
  } else if (wasReader) {
    liveNotifiers.front()->listen();
  }
}

void TerminationNotifier::listen() {
  if (reader_) return;
  reader_ = new QSocketNotifier(pipeFds[0], QSocketNotifier::Read, this);
  connect(reader_, &QSocketNotifier::activated, this, &TerminationNotifier::readPending);
}

void TerminationNotifier::readPending() {
  unsigned char buffer[64];
  std::vector<int> received;
  ssize_t n = 0;
  while ((n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0)
    received.insert(received.end(), buffer, buffer + n);
  // A handler may end the program and destroy notifiers, this one too.
  std::vector<QPointer<TerminationNotifier>> targets(liveNotifiers.begin(), liveNotifiers.end());
  for (int signalNumber : received)
    for (const QPointer<TerminationNotifier>& target : targets)
      if (target) emit target->terminationRequested(signalNumber);
}

}  // namespace bw
