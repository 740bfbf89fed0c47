#pragma once

namespace bw {

// A write to a pipe whose reader has gone raises SIGPIPE, which ends the
// process by default. The program reports such a write as failed instead,
// so it ignores the signal for the whole process; call once at start.
void ignoreBrokenPipes();

}  // namespace bw
