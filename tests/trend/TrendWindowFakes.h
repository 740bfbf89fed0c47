#pragma once

#include "Fakes.h"
#include "trend/ui/TrendWindow.h"

namespace bw::test {

// The trend window's services over the shared stand-ins.
inline TrendWindowServices trendServices(FakeServices& s) {
  return {s.chooser, s.settings, s.messages};
}

}  // namespace bw::test
