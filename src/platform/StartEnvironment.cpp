#include "platform/StartEnvironment.h"

#include <optional>

namespace bw {

namespace {
std::optional<QProcessEnvironment> kept;
}  // namespace

void keepStartEnvironment() {
  kept = QProcessEnvironment::systemEnvironment();
}

QProcessEnvironment startEnvironment() {
  return kept ? *kept : QProcessEnvironment::systemEnvironment();
}

}  // namespace bw
