#pragma once

namespace bw {

class FrmMain;
class TerminationNotifier;

// The start routine and the program's one composition root: makes every
// service once (HTTP client and adapter host, clock, steady clock, message
// box, common dialog, settings store, help viewer, registry, program
// starter, termination notifier), creates the main window over them, runs
// its load event (the polling loop) until the program is ended, and returns
// the process exit code.
int Module1();

// Runs `form`'s load event from inside the application's event loop, so
// that a quit request reaches the program, and returns once the program has
// ended. The program alone decides its end: closing its last window does not
// quit it.
int runUntilEnded(FrmMain& form);

// The system's requests reach the program: SIGTERM, SIGINT and a quit
// request run the end sequence; the desktop's request to save the session
// keeps the placement and polling goes on (every logged line is on the disk
// already).
void endOnSystemRequests(FrmMain& form, TerminationNotifier& termination);

}  // namespace bw
