#pragma once

namespace bw {

// The start routine: creates the main window with the real services, runs
// its load event (the polling loop) until the program is ended, and returns
// the process exit code.
int Module1();

}  // namespace bw
