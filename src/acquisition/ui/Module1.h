#pragma once

namespace bw {

class FrmMain;

// The start routine: creates the main window with the real services, runs
// its load event (the polling loop) until the program is ended, and returns
// the process exit code.
int Module1();

// Runs `form`'s load event from inside the application's event loop, so
// that a quit request reaches the program, and returns once the program has
// ended. The program alone decides its end: closing its last window does not
// quit it.
int runUntilEnded(FrmMain& form);

}  // namespace bw
