#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "acquisition/ui/FrmMain.h"

namespace bw {

class MessageBox;
class SteadyClock;
class TerminationNotifier;
struct SiteLookup;

// The services of the program on this system, each made once: the clock and
// the clock the polling is paced by, the message box, the common dialog, the
// settings store, the help viewer, the registry, the program starter and the
// system information launcher, and the termination notifier, which closes
// any box that is up while they exist.
class SystemServices {
 public:
  SystemServices();
  ~SystemServices();
  SystemServices(const SystemServices&) = delete;
  SystemServices& operator=(const SystemServices&) = delete;

  // What the main window is given. A caller may swap any of them before
  // handing them on.
  FrmMainServices mainWindow();
  SteadyClock& pace();
  MessageBox& messages();
  TerminationNotifier& termination();

 private:
  struct Parts;
  std::unique_ptr<Parts> parts_;
};

// The site the program polls: the site file `lookup` finds, or the sensors
// built in on the build-time adapter host. A site file that cannot be used
// is never half-used: its errors are shown in one box and there is none.
std::optional<Site> chooseSite(const SiteLookup& lookup, MessageBox& messages);

// Runs the program over `services` and `acquisition`: creates the main
// window, serves the metrics when the site asks for them, lets `prepare` see
// the window, runs its load event inside the application's event loop until
// the program is ended (by the user or by the system's requests, which
// `termination` hears) and returns the process exit code.
int runProgram(FrmMainServices services, Acquisition& acquisition, TerminationNotifier& termination,
               const std::function<void(FrmMain&)>& prepare = {});

// The start routine: the system's services, the site (`siteFile` from the
// command line, else the lookup's), then the program. Ends with
// kSiteUnusable, without a query, when the site file cannot be used.
int Module1(const QString& siteFile = {});
inline constexpr int kSiteUnusable = 2;

// Runs `form`'s load event from inside the application's event loop, so
// that a quit request reaches the program, and returns once the program has
// ended. The program alone decides its end: closing its last window does not
// quit it.
int runUntilEnded(FrmMain& form);

// The system's requests reach the program: SIGTERM, SIGINT and a quit
// request run the end sequence; the desktop's request to save the session
// keeps the placement and polling goes on (every logged line is on the disk
// already). Neither waits on a box: a failure goes to standard error.
void endOnSystemRequests(FrmMain& form, TerminationNotifier& termination);

}  // namespace bw
