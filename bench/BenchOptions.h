#pragma once

// A benchmark's options, read with the programs' command-line reader: a
// bad number or an unknown option is a usage error with status 2, never an
// exception.

#include <climits>  // INT_MAX, the bound of most
#include <cstdio>
#include <initializer_list>
#include <utility>

#include "platform/CommandLine.h"

namespace bw::bench {

// `--NAME N` options, each {name, help line}.
inline CommandLine numberOptions(
    std::initializer_list<std::pair<const char*, const char*>> options) {
  CommandLine line;
  for (const auto& [name, help] : options) line.add(name, "N", help);
  return line;
}

// N within [lowest, highest], `absent` when the option is not given.
inline int number(CommandLine& line, const char* name, int lowest, int highest, int absent) {
  return static_cast<int>(line.integer(QString::fromUtf8(name), lowest, highest, absent));
}

// A duration in whole units of `absent`'s type, at least `lowest`.
template <class Duration>
Duration duration(CommandLine& line, const char* name, int lowest, Duration absent) {
  return Duration(number(line, name, lowest, INT_MAX, static_cast<int>(absent.count())));
}

// The error, the usage and the options on standard error; the status a
// usage error ends with.
inline int usageError(const CommandLine& line, const char* program) {
  std::fprintf(stderr, "%s: %s\nusage: %s [OPTION...]\n%s", program,
               line.error().toLocal8Bit().constData(), program,
               line.optionLines().toLocal8Bit().constData());
  return 2;
}

}  // namespace bw::bench
