#pragma once

#include <QProcessEnvironment>

namespace bw {

// The environment the program was started with. The program sets variables
// for its own use before the application object exists (the page view's
// settings); programs it starts get the environment as it was before that.
// keepStartEnvironment() is called once, before any such change.
void keepStartEnvironment();
// The kept environment; the current one when none was kept.
QProcessEnvironment startEnvironment();

}  // namespace bw
