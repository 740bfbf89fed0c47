#pragma once

namespace bw {

// Settings the browser engine reads only while the application object is
// created: call this in main() before constructing the QApplication. Does
// nothing that matters when the plain view is built in.
void preparePageViewBeforeApplication();

}  // namespace bw
