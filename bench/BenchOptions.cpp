#include "BenchOptions.h"

#include <cstdio>

namespace bw::bench {

CommandLine numberOptions(std::initializer_list<std::pair<const char*, const char*>> options) {
  CommandLine line;
  for (const auto& [name, help] : options) line.add(name, "N", help);
  return line;
}

int number(CommandLine& line, const char* name, int lowest, int highest, int absent) {
  return static_cast<int>(line.integer(QLatin1String(name), lowest, highest, absent));
}

int usageError(const CommandLine& line, const char* program) {
  std::fprintf(stderr, "%s: %s\nusage: %s [OPTION...]\n%s", program,
               line.error().toLocal8Bit().constData(), program,
               line.optionLines().toLocal8Bit().constData());
  return 2;
}

}  // namespace bw::bench
