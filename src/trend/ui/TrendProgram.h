#pragma once

namespace bw {

// The whole of brinewatch-trend: the command-line forms without a window
// (and without a display), or the window on the logs given, over the
// services this start routine makes.
int runTrend(int argc, char** argv);

}  // namespace bw
