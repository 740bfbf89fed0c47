#include "trend/LineSplitter.h"

#include <cstring>

#include "logformat/LogRecord.h"

namespace bw {

void LineSplitter::complete(std::string_view line, Sink& sink) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (line.size() > kMaxLineBytes) {
    overlongRun_ += line.size();
    sink.overlong(number_);
  } else {
    overlongRun_ = 0;
    sawShortLine_ = true;
    sink.line(line, number_);
  }
  ++number_;
}

void LineSplitter::feed(const char* data, std::size_t size, Sink& sink) {
  const char* p = data;
  const char* const end = data + size;
  while (p < end) {
    const auto* lf =
        static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
    if (!lf) {
      const std::size_t rest = static_cast<std::size_t>(end - p);
      if (skipping_) {
        skipped_ += rest;
        overlongRun_ += rest;
      } else if (held_.size() + rest > kMaxLineBytes + 1) {  // +1: room for a CR
        skipping_ = true;
        skipped_ = held_.size() + rest;
        overlongRun_ += skipped_;
        std::string().swap(held_);
      } else {
        held_.append(p, rest);
      }
      return;
    }
    if (skipping_) {
      skipping_ = false;
      skipped_ = 0;
      overlongRun_ += static_cast<std::size_t>(lf - p);
      sink.overlong(number_++);
    } else if (!held_.empty()) {
      held_.append(p, static_cast<std::size_t>(lf - p));
      complete(held_, sink);
      held_.clear();
    } else {
      complete(std::string_view(p, static_cast<std::size_t>(lf - p)), sink);
    }
    p = lf + 1;
  }
}

}  // namespace bw
