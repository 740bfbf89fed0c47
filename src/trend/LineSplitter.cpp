#include "trend/LineSplitter.h"

#include <cstring>
#include <utility>

#include "logformat/LogRecord.h"

namespace bw {

namespace {

// The last zero byte of [data, data + size), or null.
const char* lastZero(const char* data, std::size_t size) {
#ifdef __GLIBC__
  return size == 0 ? nullptr : static_cast<const char*>(::memrchr(data, 0, size));
#else
  for (std::size_t i = size; i > 0; --i)
    if (data[i - 1] == '\0') return data + i - 1;
  return nullptr;
#endif
}

}  // namespace

std::string_view afterLastZero(std::string_view line) {
  const char* zero = lastZero(line.data(), line.size());
  return zero ? line.substr(static_cast<std::size_t>(zero - line.data()) + 1) : line;
}

namespace {

std::string_view withoutCr(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

}  // namespace

void LineSplitter::complete(std::string_view line, Sink& sink) {
  line = withoutCr(line);
  if (line.size() > kMaxLineBytes) {
    const std::string_view after = afterLastZero(line);
    sink.overlong(
        number_, static_cast<std::int64_t>(line.size()),
        after.size() < line.size() && after.size() <= kMaxLineBytes ? after : std::string_view());
  } else {
    sink.line(line, number_);
  }
  ++number_;
}

void LineSplitter::startSkipping(const char* data, std::size_t size) {
  skipping_ = true;
  skipped_ = 0;
  afterZeros_.clear();
  afterZerosKept_ = false;
  lastByte_ = 0;
  const std::string held = std::exchange(held_, std::string());
  skip(held.data(), held.size());
  skip(data, size);
}

void LineSplitter::skip(const char* data, std::size_t size) {
  if (size == 0) return;
  skipped_ += static_cast<std::int64_t>(size);
  lastByte_ = data[size - 1];
  if (const char* zero = lastZero(data, size)) {
    const std::size_t after = size - static_cast<std::size_t>(zero - data) - 1;
    afterZerosKept_ = after <= kMostKept;
    afterZeros_.assign(zero + 1, afterZerosKept_ ? after : 0);
  } else if (afterZerosKept_) {
    afterZerosKept_ = afterZeros_.size() + size <= kMostKept;
    if (afterZerosKept_)
      afterZeros_.append(data, size);
    else
      std::string().swap(afterZeros_);
  }
}

void LineSplitter::feedZeros(std::int64_t size) {
  if (size <= 0) return;
  if (!skipping_ && held_.size() + static_cast<std::size_t>(size) <= kMostKept) {
    held_.append(static_cast<std::size_t>(size), '\0');
    return;
  }
  if (!skipping_) startSkipping(nullptr, 0);
  skipped_ += size;
  lastByte_ = 0;
  afterZeros_.clear();
  afterZerosKept_ = true;
}

void LineSplitter::endSkipped(Sink& sink) {
  const std::string_view after = withoutCr(afterZeros_);
  sink.overlong(number_++, skipped_ - (lastByte_ == '\r' ? 1 : 0),
                afterZerosKept_ && after.size() <= kMaxLineBytes ? after : std::string_view());
  skipping_ = false;
  skipped_ = 0;
  std::string().swap(afterZeros_);
  afterZerosKept_ = false;
}

void LineSplitter::feed(const char* data, std::size_t size, Sink& sink) {
  const char* p = data;
  const char* const end = data + size;
  while (p < end) {
    const auto* lf =
        static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
    const std::size_t part = static_cast<std::size_t>((lf ? lf : end) - p);
    if (skipping_) {
      skip(p, part);
    } else if (held_.size() + part > kMostKept) {
      startSkipping(p, part);
    } else if (lf && held_.empty()) {
      complete(std::string_view(p, part), sink);
    } else {
      held_.append(p, part);
      if (lf) {
        complete(held_, sink);
        held_.clear();
      }
    }
    if (!lf) return;
    if (skipping_) endSkipped(sink);
    p = lf + 1;
  }
}

}  // namespace bw
